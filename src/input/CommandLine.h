// What a path on the command line (the program's own or a second start's) stands for.
#pragma once

#include <string>

namespace pixolan::input {

enum class TArgumentKind {
  Configuration,  // loaded as a configuration and added to the Configuration menu
  Folder,         // scanned (AddOrdner ignores what is no existing folder)
  File,           // passed to add2list
};

// ".pxc" in exactly these letters is a configuration, whatever the path is: "A.PXC" is an
// image name, which add2list refuses. Otherwise a folder, or a path whose attributes cannot be read
// (nothing there), goes to the scan; anything else (files, links to files, devices) to add2list.
TArgumentKind ArgumentKind(const std::string& argument);

}  // namespace pixolan::input
