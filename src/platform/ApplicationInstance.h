#pragma once
// The single-instance guard: at most MaxInstances copies of one program file run at once for one
// user. A copy turned away asks the copy admitted last to come to the front, then ends.
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace drivlet {

class FrontRequestListener;

class TApplicationInstance {
public:
    // programPath names the guard (copies of other program files do not see each other);
    // runtimeFolder holds its lock file. Throws std::logic_error with "Only one copy of this
    // component can be dropped on a application!" while another object exists in this process.
    explicit TApplicationInstance(std::string programPath = CurrentProgramPath(),
                                  std::filesystem::path runtimeFolder = DefaultRuntimeFolder());
    ~TApplicationInstance();
    TApplicationInstance(const TApplicationInstance&) = delete;
    TApplicationInstance& operator=(const TApplicationInstance&) = delete;

    int MaxInstances() const { return maxInstances_; }
    // A value below 1 is ignored.
    void SetMaxInstances(int value);

    // How many copies run now (this one included once admitted). Throws std::system_error when the
    // lock file cannot be opened or created.
    int InstanceCount() const;

    // False when this copy may run: it then holds its place until the object is destroyed, or the
    // process dies. True when MaxInstances copies run already: the copy admitted last is asked to
    // come to the front and the counted flag is cleared. Throws std::system_error when the lock
    // file cannot be opened or created.
    bool IsSecondInstance();

    // True from construction; cleared when this copy is turned away.
    bool Counted() const { return counted_; }
    // True once IsSecondInstance has let this copy run.
    bool Admitted() const { return lockFd_ >= 0; }

    // Runs onRequest on a thread of its own each time a turned-away copy asks this one to come to
    // the front (the GUI hands it on to its main thread). Only an admitted copy can listen; false
    // otherwise, or when the request socket cannot be opened.
    bool ListenForFrontRequests(std::function<void()> onRequest);

    const std::string& BlockName() const { return blockName_; }
    const std::filesystem::path& LockFilePath() const { return lockFile_; }

    // The program path with every separator removed: /opt/drivlet/drivlet gives optdrivletdrivlet.
    static std::string BlockNameOf(std::string_view programPath);
    // $XDG_RUNTIME_DIR when set to an absolute folder, else /tmp.
    static std::filesystem::path DefaultRuntimeFolder();
    // The full path of this process's program file.
    static std::string CurrentProgramPath();

private:
    std::string RequestName(int slot) const;
    void AskToComeToFront(int fd);

    std::string blockName_;
    std::filesystem::path lockFile_;
    int maxInstances_ = 1;
    bool counted_ = true;
    int lockFd_ = -1; // the open lock file while admitted
    int slot_ = 0;    // the byte this copy holds locked while admitted
    std::unique_ptr<FrontRequestListener> listener_;
};

} // namespace drivlet
