#include "tools/tolvanrise-pack/jpeg_encode.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace packer {

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr info)
{
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    manager->base.format_message(info, manager->message);
    std::longjmp(manager->jump, 1);
}

} // namespace

// The only function that jumps: nothing with a destructor lives between setjmp and the
// libjpeg calls that may longjmp back (the output vector is filled after the last of them).
bool EncodeJpeg(const uint8_t* rgb, int32_t width, int32_t height, int quality,
                std::vector<uint8_t>& out, std::string& error)
{
    if (width <= 0 || height <= 0 || width > 65500 || height > 65500) {
        error = "picture size out of range for JPEG";
        return false;
    }
    jpeg_compress_struct info;
    ErrorManager manager;
    info.err = jpeg_std_error(&manager.base);
    manager.base.error_exit = OnError;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;

    if (setjmp(manager.jump)) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        error = manager.message;
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality < 1 ? 1 : quality > 100 ? 100 : quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        const size_t offset = static_cast<size_t>(info.next_scanline) * width * 3;
        JSAMPROW row = const_cast<JSAMPROW>(rgb + offset);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);

    out.assign(buffer, buffer + size);
    std::free(buffer);
    return true;
}

} // namespace packer
