// psfpick-batch on the mock field and a missing image: the summary lines and
// the exit status, through GNU parallel and as one task of a job array.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/tools/tool_test_util.h"

namespace {

using namespace tooltest;

bool haveParallel() {
    return std::system("command -v parallel >/dev/null 2>&1") == 0;
}

// Tables and logs go to dir, which also holds the list.
RunResult batch(std::vector<std::string> args, std::string const& dir) {
    args.insert(args.begin(), {"--psfpick", PSFPICK_EXE, "-d", dir});
    return runProgram(tool("psfpick-batch"), args, dir);
}

TEST(Batch, RunsPsfpickOnEveryImageAndFailsWhenOneFails) {
    TempDir dir;
    std::string const image = mockFile("f.fits");
    // A job-array task takes one line of the list and needs no parallel.
    dir.write("list.txt", "# images\nlost.fits\n\n" + image + "\n");
    RunResult const task = batch({"-l", "list.txt", "--task", "2", "--", "-n", "2"}, dir.path());
    EXPECT_EQ(task.status, 0) << task.err;
    std::string const good = image + ": " + std::to_string(dataLines(readFile(dir.file("f.tbl")))) +
                             " selected, exit status 0\n";
    EXPECT_EQ(task.out, good + "psfpick-batch: 1 images, 0 failed\n");
    EXPECT_NE(readFile(dir.file("f.log")).find("-n 2"), std::string::npos);
    RunResult const beyond = batch({"-l", "list.txt", "--task", "3"}, dir.path());
    EXPECT_EQ(beyond.status, 1);
    EXPECT_EQ(beyond.err, "psfpick-batch: task 3 beyond the 2 images\n");

    if (!haveParallel()) GTEST_SKIP() << "GNU parallel is not installed";
    RunResult const r = batch({image, "lost.fits", "--", "-n", "2"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, good + "lost.fits: failed, exit status 1 (log: " + dir.file("lost.log") +
                         ")\npsfpick-batch: 2 images, 1 failed\n");
    EXPECT_EQ(readFile(dir.file("lost.log")), "cannot find image 'lost.fits'\n");
}

// A stand-in for psfpick writes its arguments into the table: images that run
// at once get --threads 1 before the user's options, passed as words; one image
// at a time keeps every core, and no options give no empty word (it would be
// taken for the image). A folder gives its images but not their error images;
// psfpick runs in the image's folder with the catalogue named by the template.
TEST(Batch, PassesTheOptionsAsWordsAndOneThreadPerImageWhenImagesRunAtOnce) {
    TempDir dir;
    std::string const fake =
        dir.write("fake.sh",
                  "#!/bin/sh\n"
                  "out=''; prev=''\n"
                  "for a in \"$@\"; do [ \"$prev\" = -o ] && out=$a; prev=$a; done\n"
                  "echo \"$#: $* in $(pwd)\" > \"$out\"\n");
    std::filesystem::permissions(fake, std::filesystem::perms::owner_exec,
                                 std::filesystem::perm_options::add);
    std::filesystem::create_directory(dir.file("data"));
    for (char const* name : {"data/a.fits", "data/b.fits", "data/e.a.fits"}) dir.write(name, "");
    dir.write("list.txt", "data/a.fits\n");
    RunResult const one = runProgram(
        tool("psfpick-batch"), {"--psfpick", fake, "-l", "list.txt", "--task", "1"}, dir.path());
    EXPECT_EQ(one.status, 0) << one.err;
    std::string const data = dir.file("data");
    EXPECT_EQ(readFile(dir.file("data/a.tbl")),
              "5: -i " + data + "/a.cat -o " + data + "/a.tbl a.fits in " + data + "\n");
    if (!haveParallel()) GTEST_SKIP() << "GNU parallel is not installed";
    RunResult const many = runProgram(tool("psfpick-batch"),
                                      {"--psfpick", fake, "-d", "out", "-c",
                                       "{dir}/cats/{base}.txt", "data", "--", "-n", "two words"},
                                      dir.path());
    EXPECT_EQ(many.status, 0) << many.err;
    EXPECT_EQ(many.out,
              "data/a.fits: 1 selected, exit status 0\ndata/b.fits: 1 selected, exit status "
              "0\npsfpick-batch: 2 images, 0 failed\n");
    EXPECT_EQ(readFile(dir.file("out/a.tbl")),
              "9: -i " + data + "/cats/a.txt -o " + dir.file("out/a.tbl") +
                  " --threads 1 -n two words a.fits in " + data + "\n");
}

}  // namespace
