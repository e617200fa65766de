#include "engine/core/FailureLog.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

TEST(FailureLog, OneLineOfWhatAndWhy)
{
    testing::internal::CaptureStderr();
    LogFailure("window: SDL_CreateWindow", "No available video device");
    LogFailure("sound: alcOpenDevice", nullptr);
    LogFailure("text: iconv_open", "");
    errno = ENOENT;
    LogFailure("Data\\Light.lit", ErrnoText());
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "window: SDL_CreateWindow: No available video device\n"
              "sound: alcOpenDevice: no reason given\n"
              "text: iconv_open: no reason given\n"
              "Data\\Light.lit: No such file or directory\n");
}
