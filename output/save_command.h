#pragma once
// Save (every page as an image file of its own, on the writer thread) and
// "Save to..." (the current page, on the calling thread).

#include <string>
#include <vector>

namespace output {

struct WriterServices;
struct RunSnapshot;

class SaveCommands {
public:
    explicit SaveCommands(WriterServices& services) : m_services(services) {}

    // The Save command: the save dialog, the replace question on the first
    // name, the options sheet, then the image run.
    void save();
    // "Save to...": the current page's image under a name of the user's.
    void saveTo();

    // Starts the image run on the writer thread with the state as it is now;
    // false when a run is active.
    bool startImageRun();

private:
    WriterServices& m_services;
};

// The image run itself (on the writer thread): every page of `snapshot`
// written by the naming rule, its path in OutputFileList; the files mailed at
// the end on the e-mail route. The paths written, in page order.
std::vector<std::string> runImageWriter(WriterServices& services, const RunSnapshot& snapshot);

}  // namespace output
