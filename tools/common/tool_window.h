#pragma once
// The one window of the installer and of the remover: placed by mode from the
// bold "Arial" font of height 17, it draws the positioned lines it is given.

#include <wx/app.h>
#include <wx/cmdargs.h>
#include <wx/frame.h>

#include <functional>
#include <string>
#include <vector>

#include "tools/common/tool_mode.h"

namespace tools {

// The whole argument text of the application's command line.
std::string commandText(const wxCmdLineArgsArray& args, int count);

// Names the program's window class before the toolkit starts; call it from
// the application object's constructor.
void setWindowClassName(const char* className);

class ToolWindow : public wxFrame {
public:
    // `className` names the window class (the frame's name, and the X11
    // WM_CLASS through the application's class name).
    ToolWindow(const wxString& title, const wxString& className, ToolMode mode, int debugLines);

    static constexpr int kLineHeight = 17;

    void setItems(std::vector<PaintItem> items);
    // The work is done: a quiet window that has been painted closes now.
    void workFinished();

private:
    wxFont labelFont() const;
    void onPaint(wxPaintEvent& event);

    ToolMode m_mode;
    std::vector<PaintItem> m_items;
    bool m_quitPosted = false;
    // A quiet window asks to end from its first paint, but it is closed only
    // once the work is done: the work may show a message box, and paints come
    // while the box is up.
    bool m_workDone = false;
    bool m_painted = false;

    void closeWhenQuiet();
};

// What tells one tool's window from the other's.
struct ToolIdentity {
    const char* title;        // window caption
    const char* className;    // window class
    const char* productLine;  // the banner's first line
    const char* quietLine;    // the banner's line in a quiet run
    int debugLines;           // rows the debug listing needs
};

// An error message box with no owner, always on top, that waits for OK.
void showOwnerlessError(const std::string& text);

// Opens the tool's window with its banner and, unless only the banner was
// asked for, does the work; a debug run then shows the listing the work
// returns, and a quiet run closes once it is done.
void runToolWindow(wxApp& app, const ToolIdentity& tool, ToolMode mode,
                   const std::function<std::vector<PaintItem>(int lineHeight)>& work);

}  // namespace tools
