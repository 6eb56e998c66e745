#pragma once
// Whether a standard stream is an interactive terminal (questions are asked and a progress bar
// drawn only there).
namespace drivlet {

enum class StandardStream { Input = 0, Output = 1, Error = 2 };

bool IsTerminal(StandardStream stream);

} // namespace drivlet
