#include "output/image_file.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <new>
#include <optional>
#include <system_error>
#include <vector>

#include "app/ui_port.h"
#include "output/jpeg_encoder.h"
#include "render/magick_guard.h"

namespace output {
namespace {

namespace fs = std::filesystem;

std::string osReason(int error) {
    return std::generic_category().message(error);
}

OutputError failure(const fs::path& path, std::string reason) {
    return OutputError{path.string(), std::move(reason)};
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
struct ImageInfoDestroyer {
    void operator()(MagickCore::ImageInfo* info) const { MagickCore::DestroyImageInfo(info); }
};

// The library writes into memory by growing a buffer it does not clear, and
// libtiff leaves a byte unwritten wherever it puts a directory or a value on
// an even offset: in memory those bytes would be whatever the buffer held
// before, so the same page would give different files. Written into an
// anonymous file instead, the bytes skipped read back as zeros. The reason
// when it fails (the library's failures throw).
std::optional<std::string> encodeThroughFile(Magick::Image& image, const std::string& encoder,
                                             Magick::Blob& blob) {
    const int fd = ::memfd_create("scrivlet-image", MFD_CLOEXEC);
    if (fd < 0)
        return "cannot make a file in memory: " + osReason(errno);
    std::unique_ptr<std::FILE, FileCloser> file(::fdopen(fd, "w+b"));
    if (!file) {
        const int error = errno;
        ::close(fd);
        return "cannot make a file in memory: " + osReason(error);
    }
    image.magick(encoder);  // also detaches the image from its copies
    MagickCore::Image* core = image.image();
    // The image's own file name would otherwise choose the format.
    MagickCore::CopyMagickString(core->filename, (encoder + ":").c_str(), MaxTextExtent);
    std::unique_ptr<MagickCore::ImageInfo, ImageInfoDestroyer> info(
        MagickCore::CloneImageInfo(image.constImageInfo()));
    if (!info)
        throw std::bad_alloc();
    info->file = file.get();  // written through, left open by the library
    info->adjoin = MagickCore::MagickFalse;
    MagickCore::CopyMagickString(info->magick, encoder.c_str(), MaxTextExtent);
    const bool written = MagickCore::WriteImage(info.get(), core) != MagickCore::MagickFalse;
    Magick::throwException(&core->exception, image.quiet());
    if (!written)
        return "the image library cannot write " + encoder + " images";
    if (std::fflush(file.get()) != 0)
        return osReason(errno);
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        return osReason(errno);
    std::vector<unsigned char> bytes(static_cast<std::size_t>(status.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return osReason(n < 0 ? errno : EIO);
        done += static_cast<std::size_t>(n);
    }
    blob.update(bytes.data(), bytes.size());
    return std::nullopt;
}

}  // namespace

std::string encoderFor(const fs::path& file) {
    std::string extension = file.extension().string();
    if (extension.size() < 2)
        return std::string();
    extension.erase(0, 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (extension == "JPG" || extension == "JPEG")
        return "JPEG";
    if (extension == "TIF" || extension == "TIFF")
        return "TIFF";
    return extension;
}

OutputResult<Magick::Blob> encodeImage(Magick::Image& image, const std::string& encoder,
                                       const fs::path& path) {
    if (image.columns() == 0 || image.rows() == 0)
        return platform::unexpected(failure(path, "the page has no pixels"));
    Magick::Blob blob;
    if (encoder == "JPEG") {
        // libjpeg directly: the library's own JPEG writer takes several
        // times as long for the same file.
        std::string error;
        if (auto reason = render::magickCall([&] {
                auto encoded = encodeJpeg(image);
                if (!encoded) {
                    error = encoded.error();
                    return;
                }
                blob = std::move(*encoded);
                // As the library's writer does: the image now names its
                // format, which an image read back from the bytes keeps.
                image.magick(encoder);
            }))
            return platform::unexpected(failure(path, *reason));
        if (!error.empty())
            return platform::unexpected(failure(path, error));
        return blob;
    }
    std::optional<std::string> fileFailure;
    if (auto reason = render::magickCall([&] {
            if (encoder == "TIFF")
                fileFailure = encodeThroughFile(image, encoder, blob);
            else
                image.write(&blob, encoder);
        }))
        return platform::unexpected(failure(path, *reason));
    if (fileFailure)
        return platform::unexpected(failure(path, *fileFailure));
    if (blob.length() == 0)
        return platform::unexpected(failure(path, "the image library cannot write " + encoder + " images"));
    return blob;
}

OutputResult<std::uintmax_t> writeImageFile(Magick::Image& image, const fs::path& file) {
    const std::string encoder = encoderFor(file);
    if (encoder.empty())
        return platform::unexpected(failure(file, "the name has no extension that names an image format"));
    auto blob = encodeImage(image, encoder, file);
    if (!blob)
        return platform::unexpected(blob.error());
    return replaceFile(file, std::span(static_cast<const std::byte*>(blob->data()), blob->length()));
}

void reportOutputError(app::UserInterfacePort& ui, const OutputError& error) {
    ui.showMessage(error.message(), app::kMessageCaption, app::MessageButtons::Ok, app::MessageIcon::Error);
}

}  // namespace output
