#include "StartupPicture.h"

#include <QFile>
#include <csetjmp>
#include <cstdio>
#include <memory>

#include <jpeglib.h>

// The picture is compiled into this static library as a Qt resource; a
// static library's resources must be registered by hand (outside any namespace).
static void RegisterShellResources() { Q_INIT_RESOURCE(shell); }

namespace snipwave {

namespace {

// libjpeg reports fatal errors through error_exit, which must not return;
// we jump back out of the decode instead of letting it call exit().
struct JpegErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

[[noreturn]] void OnJpegError(j_common_ptr info) {
  auto* manager = reinterpret_cast<JpegErrorManager*>(info->err);
  std::longjmp(manager->jump, 1);
}

void IgnoreJpegMessage(j_common_ptr) {}

struct DecompressDeleter {
  void operator()(jpeg_decompress_struct* info) const { jpeg_destroy_decompress(info); }
};

}  // namespace

QImage DecodeJpeg(const QByteArray& jpeg) {
  if (jpeg.isEmpty()) return {};
  jpeg_decompress_struct info{};
  JpegErrorManager errors{};
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = OnJpegError;
  errors.base.output_message = IgnoreJpegMessage;
  // Everything the decode allocates must live outside the setjmp frame: no
  // C++ object with a destructor may be skipped by the longjmp.
  QImage* image = new QImage();
  std::unique_ptr<QImage> owner(image);
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&info);
    return {};
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(jpeg.constData()),
               static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  *image = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
                  QImage::Format_RGB888);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = image->scanLine(static_cast<int>(info.output_scanline));
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  // A stream that ended early is padded by libjpeg with a warning; show nothing rather than half a picture.
  const bool damaged = errors.base.num_warnings > 0;
  jpeg_destroy_decompress(&info);
  if (damaged) return {};
  return *owner;
}

QByteArray StartupPictureJpeg() {
  RegisterShellResources();
  QFile file(QStringLiteral(":/snipwave/startup.jpg"));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

}  // namespace snipwave
