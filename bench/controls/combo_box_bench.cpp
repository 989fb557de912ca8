// The drop-down list against Qt's own QComboBox at the channel chooser's size (221 x 25), and its
// open item list (221 x 214, 30 channels, seven rows shown) against a QListWidget holding the same
// items: a repaint of the face, and a repaint of the open list scrolled by one item.
#include "controls/gp_combo_box.h"

#include <benchmark/benchmark.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QListWidget>
#include <QScrollBar>

namespace {

constexpr int kFaceWidth = 221;
constexpr int kFaceHeight = 25;
constexpr int kListHeight = 214;
constexpr int kItems = 30;

QString Caption(int i) { return QStringLiteral("频道 %1").arg(i); }

void BM_PlainComboRepaint(benchmark::State& state) {
  QComboBox combo;
  for (int i = 0; i < kItems; ++i) combo.addItem(Caption(i));
  combo.resize(kFaceWidth, kFaceHeight);
  combo.show();
  QCoreApplication::processEvents();
  for (auto _ : state) combo.repaint();
}
BENCHMARK(BM_PlainComboRepaint);

void BM_KitComboRepaint(benchmark::State& state) {
  orvelle::TscGPComboBox combo;
  for (int i = 0; i < kItems; ++i) combo.Items()->Add()->SetCaption(Caption(i));
  combo.InitItemIndex(0);
  combo.resize(kFaceWidth, kFaceHeight);
  combo.show();
  QCoreApplication::processEvents();
  for (auto _ : state) combo.RePaintControl();
}
BENCHMARK(BM_KitComboRepaint);

void BM_PlainListScroll(benchmark::State& state) {
  QListWidget list;
  for (int i = 0; i < kItems; ++i) list.addItem(Caption(i));
  list.resize(kFaceWidth, kListHeight);
  list.show();
  QCoreApplication::processEvents();
  int step = 0;
  for (auto _ : state) {
    list.verticalScrollBar()->setValue(step++ % kItems);
    list.viewport()->repaint();
  }
}
BENCHMARK(BM_PlainListScroll);

void BM_KitListScroll(benchmark::State& state) {
  orvelle::TscGPPopupListBox list;
  for (int i = 0; i < kItems; ++i) list.Items()->Add()->SetCaption(Caption(i));
  list.resize(kFaceWidth, kListHeight);
  list.Show(QPoint(0, 0));
  QCoreApplication::processEvents();
  int step = 0;
  for (auto _ : state) list.Scroll((step++ % kItems) * list.ItemHeight());  // repaints at once
}
BENCHMARK(BM_KitListScroll);

}  // namespace
