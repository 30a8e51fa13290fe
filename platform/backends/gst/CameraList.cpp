// Lists cameras through GStreamer's device monitor, which asks every installed provider (the
// V4L2 one, libcamera's, a media server's); each device is named by the element it would use.
#include "CameraList.h"
#include "CameraElements.h"

namespace gst {

namespace {

constexpr const char* kLibcameraPrefix = "libcamera";

std::string StringProperty(GstElement* element, const char* property)
{
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(element), property) == nullptr) return "";
    gchar* value = nullptr;
    g_object_get(element, property, &value, nullptr);
    std::string text = value ? value : "";
    g_free(value);
    return text;
}

} // namespace

bool IsLibcameraName(const std::string& text, std::string& cameraName)
{
    const std::string prefix = kLibcameraPrefix;
    if (text == prefix) {
        cameraName.clear();
        return true;
    }
    if (text.size() > prefix.size() + 1 && text.compare(0, prefix.size() + 1, prefix + ":") == 0) {
        cameraName = text.substr(prefix.size() + 1);
        return true;
    }
    return false;
}

bool EntryFor(GstElement* element, const std::string& label, CameraEntry& entry)
{
    GstElementFactory* factory = gst_element_get_factory(element);
    const std::string kind = factory ? GST_OBJECT_NAME(factory) : "";
    if (kind == "v4l2src") {
        entry.name = StringProperty(element, "device");
        entry.api = "V4L2";
    } else if (kind == "libcamerasrc") {
        const std::string camera = StringProperty(element, "camera-name");
        entry.name = camera.empty() ? kLibcameraPrefix : std::string(kLibcameraPrefix) + ":" + camera;
        entry.api = "libcamera";
    } else {
        return false;
    }
    entry.label = label;
    return !entry.name.empty();
}

bool ListCameras(std::vector<CameraEntry>& cameras, std::string& reason)
{
    if (!EnsureGstreamer(reason)) return false;
    cameras.clear();
    GstDeviceMonitor* monitor = gst_device_monitor_new();
    gst_device_monitor_add_filter(monitor, "Video/Source", nullptr);
    // A media server's provider hides the devices it serves; they are wanted here directly.
    gst_device_monitor_set_show_all_devices(monitor, TRUE);
    if (gst_device_monitor_start(monitor)) {
        GList* devices = gst_device_monitor_get_devices(monitor);
        for (GList* d = devices; d != nullptr; d = d->next) {
            GstDevice* device = GST_DEVICE(d->data);
            GstElement* element = gst_device_create_element(device, nullptr);
            if (element == nullptr) continue;
            gst_object_ref_sink(element);
            gchar* label = gst_device_get_display_name(device);
            CameraEntry entry;
            if (EntryFor(element, label ? label : "", entry)) cameras.push_back(entry);
            g_free(label);
            gst_object_unref(element);
        }
        g_list_free_full(devices, gst_object_unref);
        gst_device_monitor_stop(monitor);
    }
    gst_object_unref(monitor);
    return true;
}

} // namespace gst
