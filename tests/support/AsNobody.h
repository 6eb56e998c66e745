#pragma once
// Runs a piece of a test as the unprivileged user "nobody", for what root would read anyway (a
// folder without read permission). The piece runs in a forked child; what it returns comes back
// as text.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace drivlet::test {

// The text the body returned in a child running as nobody (uid and gid 65534); nothing when the
// child could not become nobody. A body that dies gives "child ended abnormally".
std::optional<std::string> RunAsNobody(const std::function<std::string()>& body);

// Lets nobody into everything below the folder (and write there), the folder itself included.
void OpenToEveryone(const std::filesystem::path& folder);

} // namespace drivlet::test
