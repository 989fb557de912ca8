#include "service/picture/picture_container.h"

#include "service/picture/format_registry.h"
#include "service/picture/picture_error.h"

#include <QIODevice>

namespace orvelle {

PictureContainer::PictureContainer() = default;

PictureContainer::~PictureContainer() {
  if (graphic_) graphic_->OnChange = nullptr;
}

int PictureContainer::Width() const { return graphic_ ? graphic_->Width() : 0; }
int PictureContainer::Height() const { return graphic_ ? graphic_->Height() : 0; }

void PictureContainer::LoadFromStream(QIODevice& stream) {
  const PictureFormat* format = FindPictureFormat(stream);
  if (!format) throw PictureError(QStringLiteral("Unsupported stream format"));
  std::unique_ptr<::orvelle::Graphic> fresh = format->create();
  // The new graphic is loaded aside; a failure leaves the current one as it was.
  fresh->LoadFromStream(stream);
  Replace(std::move(fresh));
}

void PictureContainer::Assign(const PictureContainer* source) {
  Assign(source ? source->Graphic() : nullptr);
}

void PictureContainer::Assign(const ::orvelle::Graphic* source) {
  // The copy is made before anything changes, so a failing copy keeps the old graphic.
  Replace(source ? source->Clone() : nullptr);
}

void PictureContainer::Replace(std::unique_ptr<::orvelle::Graphic> graphic) {
  if (graphic_) graphic_->OnChange = nullptr;
  graphic_ = std::move(graphic);
  if (graphic_) graphic_->OnChange = [this] { Changed(); };
  Changed();
}

void PictureContainer::Changed() {
  if (OnChange) OnChange();
}

}  // namespace orvelle
