#pragma once
// Another program's top-level window for the window tests (other_window.cpp
// keeps the X11 headers out of the tests' translation units).

#include <memory>
#include <string>

namespace gui_test {

// A mapped 200 x 100 window titled `title` in both the old and the UTF-8
// property, kept below every other window; gone with the object.
class OtherWindow {
public:
    explicit OtherWindow(const std::string& title);
    ~OtherWindow();
    OtherWindow(const OtherWindow&) = delete;
    OtherWindow& operator=(const OtherWindow&) = delete;
    // Whether the display's input focus is on this window.
    bool hasFocus() const;

private:
    struct Connection;
    std::unique_ptr<Connection> m_connection;
};

}  // namespace gui_test
