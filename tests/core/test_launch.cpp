// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The application button's double click and the command it starts.
#include "button_fixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

namespace {

constexpr int app_x = 23, app_y = 60;
constexpr uint64_t wrap = uint64_t(1) << 32;

class launch_test : public button_test {
  protected:
    void SetUp() override {
        button_test::SetUp();
        char pattern[] = "/tmp/dayspinner-launch-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        marker = dir + "/launched";
    }
    void TearDown() override {
        std::remove(marker.c_str());
        rmdir(dir.c_str());
    }
    // Appends one line to the marker file per launch.
    void set_counting_command() { set_command("echo x >> " + marker); }
    void set_command(const std::string &command) {
        ASSERT_LT(command.size(), launch_line_size);
        std::memcpy(app_state.app_command, command.c_str(), command.size() + 1);
    }
    int launches(int wait_ms = 2000) {
        // The command runs in the background; give the shell time to finish.
        int count = -1;
        for (int waited = 0; waited <= wait_ms; waited += 50) {
            count = 0;
            if (FILE *f = std::fopen(marker.c_str(), "r")) {
                for (int c; (c = std::fgetc(f)) != EOF;) count += c == '\n';
                std::fclose(f);
            }
            if (count > 0) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return count;
    }
    std::string dir, marker;
};

TEST(is_double_click, within_399_ms_counted_modulo_2_to_the_32) {
    EXPECT_TRUE(is_double_click(1, 1000, 1399));
    EXPECT_TRUE(is_double_click(1, 1000, 1000));
    EXPECT_FALSE(is_double_click(1, 1000, 1400));
    EXPECT_FALSE(is_double_click(0, 1000, 1001));
    // Across the wrap: 196 ms after an arming click 96 ms before it.
    EXPECT_TRUE(is_double_click(1, wrap - 96, 100));
    EXPECT_FALSE(is_double_click(1, wrap - 96, 304));
    // Long after an arming click just before the wrap: a signed difference
    // would be negative and count as a double click.
    EXPECT_FALSE(is_double_click(1, wrap - 96, 50000));
    // A time before the arming click is not a double click either.
    EXPECT_FALSE(is_double_click(1, 5000, 4999));
}

TEST(build_launch_line, appends_the_background_ampersand_within_250_bytes) {
    char line[launch_line_size];
    ASSERT_EQ(build_launch_line("evolution", line), 1);
    EXPECT_STREQ(line, "evolution &");

    std::string longest(247, 'a');
    ASSERT_EQ(build_launch_line(longest.c_str(), line), 1);
    EXPECT_EQ(std::strlen(line), 249u);
    EXPECT_EQ(std::string(line), longest + " &");

    std::string too_long(248, 'a');
    EXPECT_EQ(build_launch_line(too_long.c_str(), line), 0);
    EXPECT_STREQ(line, "");
    EXPECT_EQ(build_launch_line("", line), 0);

    // The command storage full to its last byte, without a terminator.
    char unterminated[launch_line_size + 8];
    std::memset(unterminated, 'b', sizeof unterminated);
    unterminated[sizeof unterminated - 1] = '\0';
    EXPECT_EQ(build_launch_line(unterminated, line), 0);
}

TEST_F(launch_test, double_click_399_ms_apart_launches_once) {
    set_counting_command();
    left(app_x, app_y, 10000);
    EXPECT_EQ(app_state.launch_armed, 1);
    left(app_x, app_y, 10399);
    EXPECT_EQ(app_state.launch_armed, 0);
    EXPECT_EQ(launches(), 1);
    // A third quick click only arms the button again.
    left(app_x, app_y, 10450);
    EXPECT_EQ(app_state.launch_armed, 1);
    EXPECT_EQ(app_state.launch_time, 10450u);
    EXPECT_EQ(launches(300), 1);
}

TEST_F(launch_test, clicks_400_ms_apart_only_arm_again) {
    set_counting_command();
    left(app_x, app_y, 10000);
    left(app_x, app_y, 10400);
    EXPECT_EQ(app_state.launch_armed, 1);
    EXPECT_EQ(app_state.launch_time, 10400u);
    EXPECT_EQ(launches(300), 0);
    // Clicks elsewhere in between do not disarm it.
    left(40, 60, 10500);
    handle_button(5, 0, 0, 10600);
    left(app_x, app_y, 10799);
    EXPECT_EQ(app_state.launch_armed, 0);
    EXPECT_EQ(launches(), 1);
}

TEST_F(launch_test, a_click_long_after_an_arming_click_before_the_wrap_does_not_launch) {
    set_counting_command();
    left(app_x, app_y, wrap - 96);
    left(app_x, app_y, 50000);
    EXPECT_EQ(app_state.launch_armed, 1);
    EXPECT_EQ(launches(300), 0);
    left(app_x, app_y, 50100);
    EXPECT_EQ(launches(), 1);
}

TEST_F(launch_test, a_real_double_click_across_the_wrap_launches) {
    set_counting_command();
    left(app_x, app_y, wrap - 96);
    left(app_x, app_y, 100);
    EXPECT_EQ(launches(), 1);
}

TEST_F(launch_test, the_command_runs_in_the_background) {
    set_command("(sleep 1; echo x > " + marker + ")");
    left(app_x, app_y, 1000);
    left(app_x, app_y, 1100);
    struct stat st {};
    EXPECT_NE(stat(marker.c_str(), &st), 0) << "the press waited for the command";
    EXPECT_EQ(launches(5000), 1);
}

TEST_F(launch_test, an_over_long_command_is_refused_and_nothing_overflows) {
    // 247 characters fit with " &" and the terminator...
    std::string fits = "echo x >> " + marker;
    fits.append(247 - fits.size(), ' ');
    set_command(fits);
    left(app_x, app_y, 1000);
    left(app_x, app_y, 1100);
    EXPECT_EQ(launches(), 1);
    std::remove(marker.c_str());
    // ...248 do not: a cut command could do something else, so none runs.
    std::string too_long = fits + " ";
    set_command(too_long);
    left(app_x, app_y, 2000);
    left(app_x, app_y, 2100);
    EXPECT_EQ(app_state.launch_armed, 0);
    EXPECT_EQ(launches(500), 0);
    // The whole storage without a terminator: still nothing read or written past it.
    std::memset(app_state.app_command, 'x', sizeof app_state.app_command);
    left(app_x, app_y, 3000);
    left(app_x, app_y, 3100);
    EXPECT_EQ(launches(300), 0);
}

}  // namespace
