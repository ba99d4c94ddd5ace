#include "graphics/jpeg/jpeg_writer.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include <jpeglib.h>
#include <jerror.h>

#include "foundation/image/bitmap.h"
#include "platform/files/file_system.h"

namespace {

constexpr int32_t kMaxSide = 32767;
constexpr size_t kFirstOutputBytes = 16384;

// libjpeg reports a fatal error by calling error_exit, which must not return. It jumps back
// into Compress, the one function that calls setjmp; no C++ object with a destructor lives in
// the frames it leaves. Everything Compress needs after the jump lives in this record, which
// the caller owns, so nothing depends on automatic variables the jump may have clobbered.
struct JpegSession {
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    std::jmp_buf jump;
    jpeg_destination_mgr destination;
    std::vector<uint8_t>* out;
    uint8_t* row; // one line of R, G, B
};

JpegSession* SessionOf(j_common_ptr info)
{
    // info is the first member of the session.
    return reinterpret_cast<JpegSession*>(info);
}

[[noreturn]] void LeaveOnError(j_common_ptr info)
{
    std::longjmp(SessionOf(info)->jump, 1);
}

// Messages and warnings stay quiet: the result says whether the picture was written.
void IgnoreMessage(j_common_ptr) {}
void IgnoreWarning(j_common_ptr, int) {}

// Grows the output vector without letting an exception reach libjpeg's C frames.
bool GrowOutput(JpegSession& session, size_t size)
{
    try {
        session.out->resize(size);
    } catch (...) {
        return false;
    }
    return true;
}

void StartOutput(j_compress_ptr info)
{
    JpegSession& session = *SessionOf(reinterpret_cast<j_common_ptr>(info));
    if (!GrowOutput(session, kFirstOutputBytes)) {
        info->err->msg_code = JERR_OUT_OF_MEMORY;
        info->err->error_exit(reinterpret_cast<j_common_ptr>(info));
    }
    session.destination.next_output_byte = session.out->data();
    session.destination.free_in_buffer = session.out->size();
}

// Called when the whole buffer is full; doubles it.
boolean GrowFullOutput(j_compress_ptr info)
{
    JpegSession& session = *SessionOf(reinterpret_cast<j_common_ptr>(info));
    const size_t used = session.out->size();
    if (!GrowOutput(session, used * 2)) {
        info->err->msg_code = JERR_OUT_OF_MEMORY;
        info->err->error_exit(reinterpret_cast<j_common_ptr>(info));
    }
    session.destination.next_output_byte = session.out->data() + used;
    session.destination.free_in_buffer = session.out->size() - used;
    return TRUE;
}

void FinishOutput(j_compress_ptr info)
{
    JpegSession& session = *SessionOf(reinterpret_cast<j_common_ptr>(info));
    session.out->resize(session.out->size() - session.destination.free_in_buffer);
}

bool Compress(JpegSession& session, const uint8_t* bgr, int32_t width, int32_t height,
              int32_t pitch, const JpegEncoding& encoding)
{
    if (setjmp(session.jump)) {
        jpeg_destroy_compress(&session.info);
        return false;
    }
    jpeg_create_compress(&session.info);
    session.info.dest = &session.destination;
    session.info.image_width = static_cast<JDIMENSION>(width);
    session.info.image_height = static_cast<JDIMENSION>(height);
    session.info.input_components = 3;
    session.info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&session.info);
    jpeg_set_quality(&session.info, encoding.quality, TRUE);
    session.info.comp_info[0].h_samp_factor = encoding.lumaH;
    session.info.comp_info[0].v_samp_factor = encoding.lumaV;
    jpeg_start_compress(&session.info, encoding.writeAllTables ? TRUE : FALSE);
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* in = bgr + static_cast<size_t>(y) * static_cast<size_t>(pitch);
        for (int32_t x = 0; x < width; ++x) {
            session.row[x * 3 + 0] = in[x * 3 + 2];
            session.row[x * 3 + 1] = in[x * 3 + 1];
            session.row[x * 3 + 2] = in[x * 3 + 0];
        }
        JSAMPROW rows[1] = {session.row};
        jpeg_write_scanlines(&session.info, rows, 1);
    }
    jpeg_finish_compress(&session.info);
    jpeg_destroy_compress(&session.info);
    return true;
}

} // namespace

bool EncodeJpeg(const uint8_t* bgr, int32_t width, int32_t height, int32_t pitch,
                int32_t quality, bool writeAllTables, std::vector<uint8_t>& out)
{
    JpegEncoding encoding;
    encoding.quality = quality < 10 || quality > 100 ? 100 : quality;
    encoding.writeAllTables = writeAllTables;
    return EncodeJpeg(bgr, width, height, pitch, encoding, out);
}

bool EncodeJpeg(const uint8_t* bgr, int32_t width, int32_t height, int32_t pitch,
                const JpegEncoding& given, std::vector<uint8_t>& out)
{
    out.clear();
    if (!bgr || width < 1 || height < 1 || width > kMaxSide || height > kMaxSide ||
        pitch < width * 3)
        return false;
    JpegEncoding encoding = given;
    encoding.quality = encoding.quality < 1 ? 1 : encoding.quality > 100 ? 100 : encoding.quality;

    std::unique_ptr<uint8_t[]> row(new (std::nothrow) uint8_t[static_cast<size_t>(width) * 3]);
    std::unique_ptr<JpegSession> session(new (std::nothrow) JpegSession);
    if (!row || !session)
        return false;
    std::memset(session.get(), 0, sizeof(JpegSession));
    session->info.err = jpeg_std_error(&session->errors);
    session->errors.error_exit = LeaveOnError;
    session->errors.output_message = IgnoreMessage;
    session->errors.emit_message = IgnoreWarning;
    session->destination.init_destination = StartOutput;
    session->destination.empty_output_buffer = GrowFullOutput;
    session->destination.term_destination = FinishOutput;
    session->out = &out;
    session->row = row.get();

    if (!Compress(*session, bgr, width, height, pitch, encoding)) {
        out.clear();
        return false;
    }
    return true;
}

int WriteJpegFile(const char* path, const GBitmap* image, int32_t quality, int writeAllTables)
{
    if (!path || !image)
        return 0;
    const uint8_t format = image->GetFormat();
    const uint8_t* pixels = image->GetPixels();
    if (!pixels || format == dmDarkenMask || GBitmap::IsPalettisedFormat(format) ||
        image->GetBytesPerPixel() != 3)
        return 0;
    const int32_t width = image->GetWidth();
    const int32_t height = image->GetHeight();
    const int32_t pitch = image->GetPitch();
    if (width < 1 || height < 1 || pitch < width * 3)
        return 0;
    // When the pixels are the image's own block, its size must cover every row read.
    const GPixelBlock* block = image->GetPixelBlock();
    if (block && block->GetData() == pixels) {
        const uint64_t needed = static_cast<uint64_t>(pitch) * static_cast<uint64_t>(height - 1) +
                                static_cast<uint64_t>(width) * 3;
        if (block->GetSize() < needed)
            return 0;
    }

    std::vector<uint8_t> encoded;
    if (!EncodeJpeg(pixels, width, height, pitch, quality, writeAllTables != 0, encoded))
        return 0;
    return platform::ReplaceFile(path, encoded.data(), encoded.size()) ==
                   platform::ReplaceResult::kReplaced
               ? 1
               : 0;
}
