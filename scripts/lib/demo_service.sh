# Starting and stopping the bundled demo service from a script (sourced by scripts/run and
# tools/screenshot/screenshot).
#   start_demo_service BUILD_DIR   starts it on a free loopback port; sets demo_service_url
#   stop_demo_service              stops it (safe to call more than once)

demo_service_pid=""
demo_service_url=""

start_demo_service() {
  # The service prints its base address on the first line once it answers requests.
  coproc DEMO_SERVICE { exec "$1/tools/demo-service/orvelle-demo-service" --port 0; }
  demo_service_pid=$DEMO_SERVICE_PID
  if ! read -r -t 10 demo_service_url <&"${DEMO_SERVICE[0]}"; then
    echo "$0: the demo service did not start" >&2
    return 1
  fi
}

stop_demo_service() {
  if [[ -n "$demo_service_pid" ]]; then
    kill "$demo_service_pid" 2>/dev/null || true
    wait "$demo_service_pid" 2>/dev/null || true
    demo_service_pid=""
  fi
}
