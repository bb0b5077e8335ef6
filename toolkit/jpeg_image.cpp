#include "toolkit/jpeg_image.h"

#include <csetjmp>
#include <cstdio> // jpeglib.h expects FILE and size_t to be declared

#include <jerror.h>
#include <jpeglib.h>

namespace toolkit {
namespace {

// libjpeg reports every failure through its error manager, whose default ends the process.
// Ours formats the message and jumps back into decodeGuarded. Between the setjmp there and
// the jump only libjpeg's C frames and the trivial handlers below are unwound, so no C++
// destructor is skipped.
struct ErrorManager {
  jpeg_error_mgr base; // first member: libjpeg hands back a pointer to it
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void failDecoding(j_common_ptr cinfo) {
  auto *errors = reinterpret_cast<ErrorManager *>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, errors->message);
  std::longjmp(errors->jump, 1);
}

// Warnings (level -1) mostly mean damaged data, after which libjpeg would go on and paint the
// rest grey; we stop instead. Only the harmless ones about unknown metadata are let through.
void onMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return; // trace messages
  switch (cinfo->err->msg_code) {
  case JWRN_JFIF_MAJOR:
  case JWRN_ADOBE_XFORM:
  case JWRN_BOGUS_ICC:
    return;
  default:
    failDecoding(cinfo);
  }
}

// A refusal of ours, reported the same way as libjpeg's own errors.
[[noreturn]] void refuse(ErrorManager &errors, const char *why) {
  std::snprintf(errors.message, sizeof errors.message, "%s", why);
  std::longjmp(errors.jump, 1);
}

bool supportedColourSpace(J_COLOR_SPACE space) {
  return space == JCS_GRAYSCALE || space == JCS_YCbCr || space == JCS_RGB;
}

// Runs the whole decode; false with errors.message set on any failure. `out` may then hold
// a partly filled picture, which the caller drops.
bool decodeGuarded(jpeg_decompress_struct &cinfo, ErrorManager &errors, QByteArrayView bytes,
                   QImage &out) {
  if (setjmp(errors.jump)) return false;
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char *>(bytes.data()),
               static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&cinfo, TRUE);
  if (!supportedColourSpace(cinfo.jpeg_color_space))
    refuse(errors, "unsupported JPEG colour space (CMYK or YCCK)");
  if (qint64(cinfo.image_width) * cinfo.image_height > kMaxJpegPixels)
    refuse(errors, "JPEG picture too large");
  cinfo.out_color_space = JCS_EXT_RGB; // three bytes per pixel, the layout of RGB888
  jpeg_start_decompress(&cinfo);
  out = QImage(int(cinfo.output_width), int(cinfo.output_height), QImage::Format_RGB888);
  if (out.isNull()) refuse(errors, "not enough memory for the JPEG picture");
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = out.scanLine(int(cinfo.output_scanline));
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  return true;
}

} // namespace

JpegImage decodeJpeg(QByteArrayView bytes) {
  jpeg_decompress_struct cinfo{};
  ErrorManager errors{};
  cinfo.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = failDecoding;
  errors.base.emit_message = onMessage;
  JpegImage result;
  if (!decodeGuarded(cinfo, errors, bytes, result.image)) {
    result.image = QImage();
    result.error = QString::fromLocal8Bit(errors.message);
  }
  jpeg_destroy_decompress(&cinfo); // safe even when creation itself failed
  return result;
}

} // namespace toolkit
