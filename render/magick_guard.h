#pragma once
// The boundary to the image library: every call that can throw runs through
// magickCall, which turns the library's exceptions (and a failed allocation)
// into a reason text. A warning is no failure: the library throws it after
// the work is done.

#include <exception>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "render/magick.h"

namespace render {

// The library's message without the program name before it and the source
// location after it: "unable to open image `a.png': Not a directory".
std::string magickReason(std::string_view what);

// Runs `call`; the reason when it failed, nothing when it succeeded.
template <class Call>
std::optional<std::string> magickCall(Call&& call) noexcept {
    try {
        call();
        return std::nullopt;
    } catch (const Magick::Warning&) {
        return std::nullopt;
    } catch (const Magick::Exception& e) {
        return magickReason(e.what());
    } catch (const std::bad_alloc&) {
        return std::string("out of memory");
    } catch (const std::exception& e) {
        return std::string(e.what());
    } catch (...) {
        return std::string("unknown failure of the image library");
    }
}

}  // namespace render
