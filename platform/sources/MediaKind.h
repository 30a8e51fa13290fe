// What a file holds for the camera, told by its name or by its first bytes: a picture the
// decoders read, a video in one of the common containers, or neither.
#pragma once

#include <string>

namespace sources {

enum class MediaKind { None, Picture, Video };

// By the name's ending alone (any case): what N and P consider at all, and what a --camera
// value that cannot be read is taken for.
MediaKind MediaKindByName(const std::string& name);

// By the content. Only regular files are opened, and never so as to block. When the file
// could not be read at all (or is no regular file), `reason` says why; it is left empty for
// a file that was read and holds neither.
MediaKind MediaKindOf(const std::string& path, std::string* reason = nullptr);

} // namespace sources
