#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what the desktop needs from it:
#   install_check.sh BUILD_FOLDER APP_ID WITH_PROGRAM(0|1)
# the program, the desktop entry and the metainfo (both passing their validators), and the icon
# in the hicolor theme, scalable and at every pixel size, each PNG of the size its folder names.
# the manual page, the copyright and the changelog, and the metainfo's licence and releases (from
# the changelog). With the program, it also builds the Debian package and checks that its
# dependencies, found by dpkg-shlibdeps, name GStreamer and Qt, and, when lintian is installed, that
# lintian finds no error and no warning in it.
set -euo pipefail
build=$1
app_id=$2
with_program=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log" >&2; fail "cmake --install"; }

entry=$prefix/share/applications/$app_id.desktop
metainfo=$prefix/share/metainfo/$app_id.metainfo.xml
[[ -f $entry ]] || fail "no desktop entry at $entry"
[[ -f $metainfo ]] || fail "no metainfo at $metainfo"
desktop-file-validate "$entry" || fail "desktop-file-validate $entry"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate $metainfo"
grep -qx "Icon=$app_id" "$entry" || fail "the desktop entry does not name the icon $app_id"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" || fail "the metainfo does not launch $app_id.desktop"
grep -q '/docs/orvelle.png</image>' "$metainfo" || fail "the metainfo has no screenshot of the main window"

grep -q '<project_license>GPL-3.0-or-later</project_license>' "$metainfo" || fail "the metainfo names no project licence"
changelog_version=$(sed -n '1s/^orvelle (\([^)]*\)).*/\1/p' "$(dirname "$0")/../../debian/changelog")
grep -q "<release version=\"$changelog_version\" date=\"[0-9-]*\">" "$metainfo" ||
  fail "the metainfo's releases do not start with the changelog's version $changelog_version"

docs=$prefix/share/doc/orvelle
[[ -f $docs/copyright ]] || fail "no copyright file at $docs/copyright"
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$docs/copyright" ||
  fail "the copyright file is not in the machine-readable format"
gzip -t "$docs/changelog.gz" || fail "no compressed changelog at $docs/changelog.gz"
manual=$prefix/share/man/man1/orvelle.1.gz
[[ -f $manual ]] || fail "no manual page at $manual"
manual_warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l "$manual" 2>&1 >/dev/null)
[[ -z $manual_warnings ]] || fail "the manual page has warnings: $manual_warnings"
manual_text=$(MANWIDTH=80 man -l "$manual" 2>/dev/null)
for listed in ORVELLE_SERVICE_URL ORVELLE_AUDIO_OUTPUT orvelle.conf notify=false Ctrl+Q EXAMPLES; do
  grep -q -- "$listed" <<<"$manual_text" || fail "the manual page does not name $listed"
done

icons=$prefix/share/icons/hicolor
svg=$icons/scalable/apps/$app_id.svg
[[ -f $svg ]] || fail "no scalable icon at $svg"
grep -q '<svg ' "$svg" || fail "$svg is not an SVG document"
for size in 16 22 24 32 48 64 128 256; do
  png=$icons/${size}x${size}/apps/$app_id.png
  [[ -f $png ]] || fail "no ${size}px icon at $png"
  file -b "$png" | grep -q "^PNG image data, $size x $size, 8-bit/color RGBA" ||
    fail "$png is not an RGBA PNG of $size x $size: $(file -b "$png")"
done

if [[ $with_program == 1 ]]; then
  [[ -x $prefix/bin/orvelle ]] || fail "no program at $prefix/bin/orvelle"
  (cd "$build" && cpack -G DEB -B "$work/package" >"$work/cpack.log") || { cat "$work/cpack.log" >&2; fail "cpack -G DEB"; }
  deb=$(ls "$work"/package/orvelle_*.deb)
  depends=$(dpkg-deb -f "$deb" Depends)
  echo "Depends: $depends"
  [[ $depends == *libgstreamer1.0-0* ]] || fail "the package does not depend on GStreamer"
  [[ $depends == *gstreamer1.0-plugins-good* ]] || fail "the package does not depend on GStreamer's HTTP source"
  [[ $depends != *libmpv* ]] || fail "the package still depends on libmpv"
  [[ $depends == *libqt6widgets6* ]] || fail "the package does not depend on Qt's widgets"
  contents=$(dpkg-deb -c "$deb")
  grep -q "\./usr/bin/orvelle$" <<<"$contents" || fail "the package does not hold /usr/bin/orvelle"
  grep -q "\./usr/share/applications/$app_id\.desktop$" <<<"$contents" || fail "the package does not hold the desktop entry"
  if command -v lintian >/dev/null; then
    # Errors and warnings fail; the informational tags are shown. A build without Debian's
    # hardening flags (a debug or sanitizer build) only gives informational tags for them.
    lintian_output=$(lintian --display-info "$deb" 2>&1) || true
    echo "lintian:"
    echo "${lintian_output:-(nothing)}"
    if grep -E '^[EW]: ' <<<"$lintian_output"; then fail "lintian finds errors or warnings in the package"; fi
  else
    echo "lintian is not installed (scripts/setup installs it): the package's policy check is skipped"
  fi
else
  echo "the program is not part of this build: its install and the Debian package are not checked"
fi
