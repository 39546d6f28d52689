// The files a folder given to convert stands for.
#pragma once

#include <string>
#include <vector>

namespace framelot {

// Every path in order, a folder replaced by the files directly inside it whose
// extension the table of formats knows, in name order (bytewise); other files
// in it are passed over. With `recursive`, subfolders are gone into too, each
// where its name falls among the files; links to folders are not followed,
// and a folder already gone into (a junction or a bind mount that leads back)
// is not gone into again, so no loop can form. A folder that cannot be read
// stays in the list as it is, so that its conversion says why. A folder given
// in `paths` that stands for no file at all is added to `emptyFolders` when
// that is not null. The folder `keepOut` (the output folder) is never gone
// into below a folder given, so a walk does not take earlier frames for
// sources; given itself, it is listed. Paths are UTF-8. Costs one listing a
// folder.
std::vector<std::string> ExpandFolders(const std::vector<std::string>& paths, bool recursive,
                                       std::vector<std::string>* emptyFolders = nullptr,
                                       const std::string& keepOut = {});

// Why a folder stands for nothing: "no animations in FOLDER".
std::string EmptyFolderText(const std::string& folder);

}  // namespace framelot
