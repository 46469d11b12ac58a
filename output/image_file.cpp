#include "output/image_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <system_error>

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

// Closes a descriptor and removes the temporary file unless released.
class TemporaryFile {
public:
    TemporaryFile(int fd, fs::path name) : m_fd(fd), m_name(std::move(name)) {}
    ~TemporaryFile() {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_name.empty())
            ::unlink(m_name.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    int fd() const { return m_fd; }
    const fs::path& name() const { return m_name; }
    // Closes the descriptor; the errno of a failed close, else 0.
    int close() {
        const int result = ::close(m_fd);
        m_fd = -1;
        return result == 0 ? 0 : errno;
    }
    void keep() { m_name.clear(); }

private:
    int m_fd;
    fs::path m_name;
};

std::atomic<unsigned> g_temporaryCounter{0};

}  // namespace

std::string OutputError::message() const {
    return "cannot write " + path + ": " + reason;
}

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
    if (auto reason = render::magickCall([&] { image.write(&blob, encoder); }))
        return platform::unexpected(failure(path, *reason));
    if (blob.length() == 0)
        return platform::unexpected(failure(path, "the image library cannot write " + encoder + " images"));
    return blob;
}

OutputResult<std::uintmax_t> replaceFile(const fs::path& file, std::span<const std::byte> bytes) {
    if (file.filename().empty())
        return platform::unexpected(failure(file, "no file name"));
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    // A name of our own beside the file: hidden, unique in this process, and
    // created only when it does not exist yet (O_EXCL does not follow links).
    int fd = -1;
    fs::path temporary;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = folder / (".~" + file.filename().string() + "." + std::to_string(::getpid()) + "." +
                              std::to_string(g_temporaryCounter.fetch_add(1)));
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return platform::unexpected(failure(file, osReason(errno)));
    }
    if (fd < 0)
        return platform::unexpected(failure(file, osReason(EEXIST)));
    TemporaryFile out(fd, temporary);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(out.fd(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return platform::unexpected(failure(file, osReason(n < 0 ? errno : EIO)));
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(out.fd()) != 0 && errno != EINVAL && errno != EROFS)
        return platform::unexpected(failure(file, osReason(errno)));
    if (const int error = out.close(); error != 0)
        return platform::unexpected(failure(file, osReason(error)));
    if (::rename(out.name().c_str(), file.c_str()) != 0)
        return platform::unexpected(failure(file, osReason(errno)));
    out.keep();
    return static_cast<std::uintmax_t>(done);
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
