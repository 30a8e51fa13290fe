// The kinds of picture the phone's camera can look at, in one table: what each claims of a
// name the user gives (by its form, the file's type or its first bytes) and how it is made.
// The makers come from whoever may see the backends (the launcher); the claims are here.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/CameraSource.h"

namespace sources {

// The built-in claims, each on the name as given.
// "" : the demo scene, the default.
bool NamesNothing(const std::string& source);
// A webcam is a character device, in whatever folder; a name under /dev/video or /dev/v4l/
// that names nothing is taken for one too, so its absence is told as a missing device.
bool IsCameraDevice(const std::string& source);
// A picture by its content, or by its name when the content cannot tell (so a missing or
// broken photo is told as a photo).
bool IsPicture(const std::string& source);
// Anything at all: the last kind of a table, which takes what no other claims.
bool AnyName(const std::string& source);

class CameraKinds {
public:
    using Claims = std::function<bool(const std::string& source)>;
    using Maker = std::function<std::unique_ptr<device::CameraSource>(const std::string& source)>;
    struct Kind {
        std::string name;
        Claims claims;
        Maker make;
    };

    // Kinds are asked in the order they were added; the first that claims a name makes it.
    void Add(std::string name, Claims claims, Maker make);

    // The kind that claims `source`; null when none does.
    const Kind* Find(const std::string& source) const;
    // A factory for the device that makes the source `source` names, each time it is called;
    // null when no kind claims it.
    std::function<std::unique_ptr<device::CameraSource>()> FactoryFor(const std::string& source) const;
    // The source itself; null when no kind claims the name.
    std::unique_ptr<device::CameraSource> Make(const std::string& source) const;

private:
    std::vector<Kind> m_kinds;
};

} // namespace sources
