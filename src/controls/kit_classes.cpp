#include "controls/kit_classes.h"

#include "controls/accessible.h"
#include "controls/gp_button.h"
#include "controls/gp_combo_box.h"
#include "controls/gp_image.h"
#include "controls/label.h"
#include "controls/memo.h"
#include "controls/panel.h"
#include "controls/gp_progress_bar.h"
#include "controls/split_view.h"
#include "controls/track_bar.h"
#include "toolkit/class_registry.h"

namespace orvelle {

void RegisterKitClasses() {
  InstallKitAccessibility();
  ClassRegistry::Register<TscPanel>();
  ClassRegistry::Register<TscGPButton>();
  ClassRegistry::Register<TscGPComboBox>();
  ClassRegistry::Register<TscGPProgressBar>();
  ClassRegistry::Register<TscTrackBar>();
  ClassRegistry::Register<TscLabel>();
  ClassRegistry::Register<TscMemo>();
  ClassRegistry::Register<TscGPMemo>();
  ClassRegistry::Register<TscGPImage>();
  ClassRegistry::Register<TscSplitView>();
}

}  // namespace orvelle
