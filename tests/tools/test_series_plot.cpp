// The series of readings from a trace written by hand: one row per reading at its video time,
// its state and the other side the readout showed; and its plot, decoded and looked at where
// the line, the band and a gap must be.
#include <gtest/gtest.h>

#include "Plot.h"
#include "Series.h"
#include "codec/ImageCodec.h"
#include "support/Launch.h"
#include "tools/TraceLines.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using testing_support::Temp;
using namespace testing_support::trace_lines;

namespace {

std::string Video(double angle, int frame, double ptsMs, const char* extra = "")
{
    char args[256];
    std::snprintf(args, sizeof args,
                  "\"x\":400,\"y\":460,\"angle\":%.1f,\"uncertainty\":2,\"frame\":%d,\"pts_ms\":%.3f,"
                  "\"pts_from\":\"stamp\"%s",
                  angle, frame, ptsMs, extra);
    return Finger(5000.0 + frame, "corner", args);
}

// Frames 0-4 read (the run's own time far from the video's), 5-6 lost, 7 refused, 8-11 followed.
std::vector<std::string> KnownTrace()
{
    std::vector<std::string> lines;
    for (int f = 0; f < 12; f++) {
        const double pts = f * 100.0;
        if (f == 5 || f == 6) {
            lines.push_back(Finger(5000.0 + f, "corner",
                                   "\"x\":400,\"y\":460,\"state\":\"lost\",\"frame\":" + std::to_string(f) +
                                       ",\"pts_ms\":" + std::to_string(pts)));
        } else if (f == 7) {
            lines.push_back(Finger(5000.0 + f, "corner",
                                   "\"x\":400,\"y\":460,\"refused\":\"no corner near (400, 460)\",\"frame\":7,"
                                   "\"pts_ms\":700.000,\"pts_from\":\"stamp\""));
        } else {
            const double angle = 40.0 + 5 * f;
            lines.push_back(Video(angle, f, pts, f >= 8 ? ",\"state\":\"followed\"" : ""));
            // The round dial's readout shows it, with its other side.
            char big[16], small[16];
            std::snprintf(big, sizeof big, "%.1f", angle);
            std::snprintf(small, sizeof small, "%.1f", 360 - angle);
            lines.push_back(Canvas(5000.5 + f, big, small, 0));
        }
    }
    return lines;
}

std::vector<readings::SeriesRow> Rows(const std::vector<std::string>& lines)
{
    readings::Series series;
    std::vector<readings::SeriesRow> rows;
    for (const std::string& line : lines)
        for (auto& r : series.Line(line)) rows.push_back(r);
    for (auto& r : series.Flush()) rows.push_back(r);
    return rows;
}

TEST(Series, OneRowPerReadingAtTheVideosTimeWithItsState)
{
    const auto rows = Rows(KnownTrace());
    ASSERT_EQ(rows.size(), 12u);
    EXPECT_EQ(readings::SeriesCsvRow(rows[0]), "0.000000,40.0,320.0,2,read,0,video,");
    EXPECT_EQ(readings::SeriesCsvRow(rows[5]), "0.500000,,,,lost,5,video,");
    EXPECT_EQ(readings::SeriesCsvRow(rows[7]), "0.700000,,,,refused,7,video,\"no corner near (400, 460)\"");
    EXPECT_EQ(readings::SeriesCsvRow(rows[11]), "1.100000,95.0,265.0,2,followed,11,video,");

    // A reading whose readout never shows is kept all the same; one with no video is at the
    // run's time; one whose video stamps lied says so.
    const auto other = Rows({Finger(250, "edge", "\"x\":1,\"y\":2,\"angle\":12.5,\"uncertainty\":0.1"),
                             Finger(300, "corner",
                                    "\"x\":1,\"y\":2,\"angle\":30.0,\"uncertainty\":0.2,\"frame\":3,\"pts_ms\":100,"
                                    "\"pts_from\":\"frame rate\",\"state\":\"bogus\"")});
    ASSERT_EQ(other.size(), 2u);
    EXPECT_EQ(readings::SeriesCsvRow(other[0]), "0.250000,12.5,,0.1,read,,run,");
    EXPECT_EQ(readings::SeriesCsvRow(other[1]), "0.100000,30.0,,0.2,read,3,video frame rate,");
}

TEST(Series, TheToolWritesTheSeriesAndRefusesAPlotItCannotWrite)
{
    const std::string trace = Temp("series.jsonl");
    {
        std::ofstream out(trace);
        for (const auto& line : KnownTrace()) out << line << "\n";
    }
    const std::string tool = std::string(VELTORA_BIN_DIR) + "/veltora-readings";
    const std::string csv = Temp("series.csv");
    ASSERT_EQ(std::system((tool + " --series " + trace + " > " + csv).c_str()), 0);
    std::ifstream in(csv);
    std::string header, first;
    std::getline(in, header);
    std::getline(in, first);
    EXPECT_EQ(header, readings::SeriesHeader());
    EXPECT_EQ(first, "0.000000,40.0,320.0,2,read,0,video,");
    const std::string svg = Temp("series.svg");
    EXPECT_EQ(std::system((tool + " --plot " + svg + " " + trace + " > /dev/null").c_str()), 0);
    // Not a picture format, or a folder where the file would go: told, nothing written.
    EXPECT_NE(std::system((tool + " --plot " + Temp("p.jpg") + " " + trace + " 2> /dev/null").c_str()), 0);
    EXPECT_NE(std::system((tool + " --plot /nonexistent/p.png " + trace + " 2> /dev/null").c_str()), 0);
    EXPECT_NE(std::system((tool + " --plot " + Temp("p.png") + " --follow " + trace + " 2> /dev/null").c_str()), 0);
}

TEST(Plot, DrawsTheLineInItsBandWithAGapWhereTheCornerWasLost)
{
    const auto rows = Rows(KnownTrace());
    const std::string png = Temp("series.png");
    std::string reason;
    ASSERT_TRUE(readings::WritePlot(rows, png, reason)) << reason;
    codec::DecodedImage image;
    ASSERT_TRUE(codec::DecodeImageFile(png, image, reason)) << reason;
    const readings::PlotLayout l = readings::LayOut(rows);
    ASSERT_EQ(image.width, l.width);
    const auto at = [&](double x, double y) {
        return image.pixels[std::size_t(std::lround(y)) * image.width + std::size_t(std::lround(x))] & 0xFFFFFF;
    };
    const auto near = [](unsigned a, unsigned b) {
        for (int s = 0; s < 24; s += 8)
            if (std::abs(int((a >> s) & 0xFF) - int((b >> s) & 0xFF)) > 12) return false;
        return true;
    };
    // The axes hold every reading and its band: 0 to 1.1 s, 38 to 97 degrees.
    EXPECT_LE(l.t0, 0.0);
    EXPECT_GE(l.t1, 1.1);
    EXPECT_LE(l.a0, 38.0);
    EXPECT_GE(l.a1, 97.0);
    // The line between frames 1 and 2, halfway: 47.5 degrees at 0.15 s (within a pixel).
    const auto lineAt = [&](double t, double a) {
        for (const int dy : {0, -1, 1})
            if (near(at(l.X(t), l.Y(a) + dy), readings::kLineColour)) return true;
        return false;
    };
    EXPECT_TRUE(lineAt(0.15, 47.5)) << std::hex << at(l.X(0.15), l.Y(47.5));
    // Its band: within 2 degrees of it, clear of the line's width.
    const double bandY = l.Y(47.5) - (l.Y(47.5) - l.Y(49.5)) * 0.75;
    ASSERT_GT(l.Y(47.5) - bandY, 2.0) << "the band is too thin to see";
    EXPECT_TRUE(near(at(l.X(0.15), bandY), readings::kBandColour)) << std::hex << at(l.X(0.15), bandY);
    // And nothing past it.
    EXPECT_TRUE(near(at(l.X(0.15), l.Y(51.5)), 0xffffff)) << std::hex << at(l.X(0.15), l.Y(51.5));
    // The gap, halfway from the last reading before the loss (0.4 s) to the first lost frame,
    // and from the last refused one to the next reading (0.8 s): shaded, no line through it
    // where the line would run (62 to 80 degrees); the readings either side keep their half.
    for (const double t : {0.47, 0.6, 0.73}) {
        for (const double a : {62.0, 70.0, 78.0}) {
            EXPECT_TRUE(near(at(l.X(t), l.Y(a)), readings::kGapColour) || near(at(l.X(t), l.Y(a)), 0xdddddd))
                << t << " s, " << a << " deg: " << std::hex << at(l.X(t), l.Y(a));
        }
    }
    EXPECT_TRUE(near(at(l.X(0.42), l.Y(51.5)), 0xffffff)) << std::hex << at(l.X(0.42), l.Y(51.5));
    EXPECT_TRUE(near(at(l.X(0.78), l.Y(51.5)), 0xffffff)) << std::hex << at(l.X(0.78), l.Y(51.5));
    // After it the followed readings are drawn again: 82.5 degrees at 0.85 s.
    EXPECT_TRUE(lineAt(0.85, 82.5)) << std::hex << at(l.X(0.85), l.Y(82.5));

    // The same as SVG: a whole document.
    const std::string svg = Temp("series-plot.svg");
    ASSERT_TRUE(readings::WritePlot(rows, svg, reason)) << reason;
    std::ifstream in(svg);
    std::stringstream text;
    text << in.rdbuf();
    const std::string doc = text.str();
    EXPECT_EQ(doc.rfind("<?xml", 0), 0u);
    EXPECT_NE(doc.find("<svg"), std::string::npos);
    EXPECT_NE(doc.find("</svg>"), std::string::npos);
    EXPECT_GT(doc.find("</svg>"), doc.size() - 16);
    // Not written over a folder, nor in one that does not exist.
    EXPECT_FALSE(readings::WritePlot(rows, Temp(""), reason));
    EXPECT_FALSE(readings::WritePlot(rows, "/nonexistent/plot.png", reason));
    EXPECT_EQ(reason.rfind("cannot write /nonexistent/plot.png: ", 0), 0u) << reason;
}

} // namespace
