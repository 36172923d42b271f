// Skin files of any content: reading one either gives a document or throws
// snipwave::Error; a document's every item then draws without fault.
#include <QImage>
#include <QPainter>
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "components/skin/SkinPainter.h"
#include "components/skin/SkinParser.h"
#include "platform/Error.h"

using namespace snipwave;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  skin::SkinDocument document;
  try {
    // Relative image paths resolve in the empty scratch folder.
    document = skin::ParseSkin(text, fuzz::ScratchFolder() + "/fuzz.skn");
  } catch (const Error&) {
    return 0;
  }
  // A small canvas: painting clips, but all the geometry of the full layout
  // is still computed.
  QImage canvas(64, 64, QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&canvas);
  painter.setRenderHint(QPainter::Antialiasing);
  for (const skin::LayoutSpec& layout : document.layouts) {
    skin::FillPaint(painter, QRectF(QPointF(0, 0), layout.size), layout.background);
    for (const skin::ItemSpec& item : layout.items) {
      const skin::ObjectState state{item.rect, item.visible, item.text, 10000};
      for (auto look : {skin::StatePaint::State::Normal, skin::StatePaint::State::Pressed})
        skin::DrawItem(painter, item, state, look);
      if (item.kind == skin::ItemKind::Slider) {
        skin::SliderPositionAt(item, item.rect, item.rect.center().x());
        skin::SliderThumbCentre(item, item.rect, 20000);
      }
    }
  }
  return 0;
}
