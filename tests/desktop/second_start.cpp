// Starts as the program does up to its one-instance claim: exits 0 when another instance runs
// (asked to raise its window), 3 when this one would have become the instance, 4 without a bus.

#include "desktop/single_instance.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  switch (orvelle::ClaimSingleInstance(QDBusConnection::sessionBus())) {
    case orvelle::InstanceClaim::HandedOver:
      return 0;
    case orvelle::InstanceClaim::First:
      return 3;
    case orvelle::InstanceClaim::NoBus:
      return 4;
  }
  return 5;
}
