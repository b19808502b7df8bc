#pragma once

namespace vimo {

// Gives every dialog of the program its black background and black dialog text. The texts
// that must be seen are colour labels, which paint their own colours. Message boxes keep the
// desktop's colours.
void ApplyDialogColours();

} // namespace vimo
