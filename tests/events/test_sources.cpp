// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Listing a calendar folder: which files count, their identities, the bounds,
// and the directories to watch. Real files and links in a temporary folder.
#include "sources/sources.h"
#include "tests/events/ics_files.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr source_bounds generous{1000, 1 << 20, 1 << 24};

std::vector<std::string> watched(const std::string &path) {
    std::vector<std::string> out;
    for (const watch_target &t : watch_directories(path.c_str())) out.push_back(t.directory);
    return out;
}

struct folder_test : ::testing::Test {
    temp_dir dir;
    std::string root = dir.file("cal");
    void SetUp() override { mkdir(root.c_str(), 0755); }
    std::string at(const std::string &rel) const { return root + "/" + rel; }
    void make(const std::string &rel, const std::string &text = "x") { write_file(at(rel), text); }
    void folder(const std::string &rel) const { mkdir(at(rel).c_str(), 0755); }
    std::vector<std::string> listed(const source_bounds &b = generous) const {
        std::vector<std::string> out;
        for (const source_file &f : list_sources(root.c_str(), b).files)
            out.push_back(f.path.substr(root.size() + 1));
        return out;
    }
};

TEST_F(folder_test, takes_ics_files_of_the_folder_and_its_immediate_subfolders) {
    make("b.ics");
    make("a.ics");
    make("notes.txt");
    make("upper.ICS");
    make(".hidden.ics");
    folder("work");
    make("work/meeting.ics");
    make("work/.tmp-1234.ics");
    folder("work/deeper");
    make("work/deeper/too-deep.ics");
    folder(".git");
    make(".git/object.ics");
    folder("odd.ics");  // a folder with the suffix is a subfolder
    make("odd.ics/inner.ics");
    ASSERT_EQ(mkfifo(at("pipe.ics").c_str(), 0600), 0);
    // Links: to a file already taken (read once), to one outside, dangling,
    // and a subfolder that is a link to another folder.
    ASSERT_EQ(symlink("a.ics", at("same-as-a.ics").c_str()), 0);
    write_file(dir.file("outside.ics"), "y");
    ASSERT_EQ(symlink(dir.file("outside.ics").c_str(), at("linked.ics").c_str()), 0);
    ASSERT_EQ(symlink("missing.ics", at("dangling.ics").c_str()), 0);
    mkdir(dir.file("shared").c_str(), 0755);
    write_file(dir.file("shared/team.ics"), "z");
    ASSERT_EQ(symlink(dir.file("shared").c_str(), at("team").c_str()), 0);

    EXPECT_EQ(listed(),
              (std::vector<std::string>{"a.ics", "b.ics", "linked.ics", "odd.ics/inner.ics",
                                        "team/team.ics", "work/meeting.ics"}));
    source_list l = list_sources(root.c_str(), generous);
    EXPECT_TRUE(l.found && l.folder);
    EXPECT_EQ(l.left_out, 0u);

    // dir holds outside.ics, a link's target.
    EXPECT_EQ(watched(root),
              (std::vector<std::string>{dir.path, root, at("odd.ics"), at("team"), at("work")}));
    EXPECT_EQ(watch_directories((root + "//").c_str()), watch_directories(root.c_str()));
}

TEST_F(folder_test, bounds_take_files_in_path_order_and_count_the_rest) {
    // Files f00..f09 of 100 bytes, and one of 5000 bytes between them.
    for (int i = 0; i < 10; ++i) make("f0" + std::to_string(i) + ".ics", std::string(100, 'x'));
    make("f05-large.ics", std::string(5000, 'x'));
    struct row {
        source_bounds bounds;
        std::size_t taken, left_out;
        const char *last;
    } rows[] = {
        {{1000, 10000, 100000}, 11, 0, "f09.ics"},
        {{3, 10000, 100000}, 3, 8, "f02.ics"},         // by count
        {{1000, 10000, 450}, 4, 7, "f03.ics"},         // by total bytes
        {{1000, 10000, 5599}, 6, 5, "f05-large.ics"},  // the large one fits, the next not
        {{1000, 1000, 100000}, 10, 1, "f09.ics"},      // too large alone: only it is left out
        {{1000, 1000, 300}, 3, 8, "f02.ics"},
        {{0, 10000, 100000}, 0, 11, nullptr},
    };
    for (const row &r : rows) {
        source_list l = list_sources(root.c_str(), r.bounds);
        EXPECT_EQ(l.files.size(), r.taken) << r.bounds.max_files << " " << r.bounds.max_total_bytes;
        EXPECT_EQ(l.left_out, r.left_out) << r.bounds.max_files << " " << r.bounds.max_total_bytes;
        if (r.last && !l.files.empty()) {
            EXPECT_EQ(l.files.back().path, at(r.last));
        }
    }
}

TEST(sources, a_file_is_its_own_source_and_its_directory_is_watched) {
    temp_dir dir;
    std::string file = dir.file("calendar.ics");
    EXPECT_FALSE(list_sources(file.c_str(), generous).found);
    EXPECT_EQ(watched(file), std::vector<std::string>{dir.path});
    write_file(file, std::string(3000, 'x'));
    // A file named directly is listed whatever its size: the loader says why
    // it is not read.
    source_list l = list_sources(file.c_str(), {0, 10, 10});
    ASSERT_EQ(l.files.size(), 1u);
    EXPECT_TRUE(l.found && !l.folder);
    EXPECT_EQ(l.files[0].size, 3000);
    EXPECT_EQ(watched("calendar.ics"), std::vector<std::string>{"."});
    EXPECT_EQ(watched("/calendar.ics"), std::vector<std::string>{"/"});
    EXPECT_TRUE(watch_directories("").empty());
    std::string fifo = dir.file("pipe.ics");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(list_sources(fifo.c_str(), generous).found);
}

}  // namespace
