// The 43 files the application reads from its Res/ folder, for tests, benchmarks and the
// fuzzer that need them by name.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

inline const std::vector<std::string>& ResourceNames()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> v = {"velt.png",
                                      "velt3.png",
                                      "portrait_pin.png",
                                      "landscape_pin.png",
                                      "portrait_originPin.png",
                                      "landscape_originPin.png",
                                      "pin_up_ball.png",
                                      "pin_up_small_ball.png",
                                      "up_numberframe.png",
                                      "side_numberframe.png",
                                      "hold_off.png",
                                      "hold_on.png",
                                      "info_on.png",
                                      "info_off.png",
                                      "blank.png",
                                      "info_back_1.png",
                                      "info_back_2.png",
                                      "info_up.jpg",
                                      "info_contents.jpg"};
        for (int i = 0; i < 12; i++) {
            v.push_back("bigNum" + std::to_string(i) + ".png");
            v.push_back("smallNum" + std::to_string(i) + ".png");
        }
        return v;
    }();
    return names;
}

} // namespace testing_support
