// The folder each kind of file dialog opens in, remembered across runs.
//
// A kind names the files a dialog is for ("input_image", "output_image", or a side file's extension
// such as "hw"); the open and the save dialog of one kind share their folder. Callers may rely on:
// - the start folder is the folder last used for the kind while it is still a folder; else the folder
//   of the input image (set_input_image) while that is still a folder; else the user's home;
// - `remember` keeps the folder of a chosen path in the user's settings (organisation "Velmora",
//   application "velmora"), so the next run starts there; a settings file that cannot be written
//   costs only the memory, never the dialog;
// - the input image is known for the life of the process only: the view sets it whenever it knows
//   one, and it is not kept in the settings.
// UI thread only, as the dialogs are.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

inline constexpr std::string_view k_input_image_folder = "input_image";
inline constexpr std::string_view k_output_image_folder = "output_image";

// The rule above, on folders given: an empty text is no folder.
std::string choose_start_folder(std::string_view last_used, std::string_view input_image,
                                std::string_view home);

// The rule above, on the settings, the input image set and the user's home.
std::string start_folder(std::string_view kind);

// The folder of `chosen` (a file path) becomes the kind's start folder, for this run and later ones.
void remember_folder(std::string_view kind, std::string_view chosen);

// The folder remembered for `kind`, whether or not it still exists; empty when none is.
std::string remembered_folder(std::string_view kind);

// The image the user works on, beside which dialogs of kinds without a folder of their own open.
void set_input_image(std::string_view path);

}  // namespace velmora
