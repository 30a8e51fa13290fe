// The camera's table of kinds and the claims every table shares.
#include "sources/CameraKinds.h"

#include <sys/stat.h>

#include "sources/MediaKind.h"

namespace sources {

bool NamesNothing(const std::string& source) { return source.empty(); }

bool IsCameraDevice(const std::string& source)
{
    struct stat st {};
    if (::stat(source.c_str(), &st) == 0) {
        return S_ISCHR(st.st_mode);
    }
    return source.rfind("/dev/video", 0) == 0 || source.rfind("/dev/v4l/", 0) == 0;
}

bool IsPicture(const std::string& source)
{
    return MediaKindOf(source) == MediaKind::Picture || MediaKindByName(source) == MediaKind::Picture;
}

bool AnyName(const std::string&) { return true; }

void CameraKinds::Add(std::string name, Claims claims, Maker make)
{
    m_kinds.push_back({std::move(name), std::move(claims), std::move(make)});
}

const CameraKinds::Kind* CameraKinds::Find(const std::string& source) const
{
    for (const Kind& kind : m_kinds) {
        if (kind.claims(source)) {
            return &kind;
        }
    }
    return nullptr;
}

std::function<std::unique_ptr<device::CameraSource>()> CameraKinds::FactoryFor(const std::string& source) const
{
    const Kind* kind = Find(source);
    if (!kind) {
        return nullptr;
    }
    return [make = kind->make, source] { return make(source); };
}

std::unique_ptr<device::CameraSource> CameraKinds::Make(const std::string& source) const
{
    const Kind* kind = Find(source);
    return kind ? kind->make(source) : nullptr;
}

} // namespace sources
