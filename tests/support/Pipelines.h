// GStreamer pipelines for tests that make their own media: parsed from a description, played
// to their end, with GStreamer's own error text when something goes wrong.
#pragma once

#include <gst/gst.h>

#include <string>

namespace testing_support {

// The pipeline a description makes (GStreamer started first), or null with `error` set.
GstElement* ParsePipeline(const std::string& description, std::string& error);

// Points a pipeline's `filesink name=out` at `path`, starts it, and gives its `appsrc name=src`
// to push pictures into (the caller releases it).
GstElement* PlayIntoFile(GstElement* pipeline, const std::string& path);

// Plays `pipeline` to its end (at most ten seconds), then stops and releases it. GStreamer's
// error text, or nothing when it finished.
std::string RunToEnd(GstElement* pipeline);

// ParsePipeline, then RunToEnd.
std::string Launch(const std::string& description);

} // namespace testing_support
