#pragma once
// Folder items: which files of a folder play, and which one comes next.

#include <QString>
#include <QStringList>

#include <random>

namespace tessora {

// ".mp3", ".wav", ".mid" or ".wma", compared lower-cased; nothing else is taken.
bool IsAudioFileName(const QString& name);

// Appends the paths of the audio files in `folder` and, depth first, in its subfolders: a
// folder's own files, by name, before those of its subfolders, by name. Subfolders whose names
// begin with "." are not entered, nor a folder reached a second time through a link. A folder
// that cannot be listed adds nothing.
// `notRegular`, when given, gets the paths of entries with an audio file's name that are
// neither a file nor a folder (a pipe, a device, a link that leads nowhere): folder play passes
// over them, the pre-flight check names them.
void ScanAudioFiles(const QString& folder, QStringList& list, QStringList* notRegular = nullptr);

using FolderRandom = std::mt19937;

// The file to play after `current` among `count` files (count > 0): the next one, back to the
// first after the last; or, for random order, any one, the same one included.
int NextFolderIndex(int current, int count, bool randomOrder, FolderRandom& random);

}  // namespace tessora
