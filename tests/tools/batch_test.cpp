// psfpick-batch: mock images through GNU parallel, one of them broken; the
// summary lines, the exit status, folders, lists, job-array tasks and
// pass-through options.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/tools/tool_test_util.h"

namespace {

using namespace tooltest;

std::string const kBatch = std::string(PSFPICK_SOURCE_DIR) + "/tools/psfpick-batch";
std::string const kBash = "/bin/bash";

bool haveParallel() {
    return std::system("command -v parallel >/dev/null 2>&1") == 0;
}

RunResult batch(std::vector<std::string> args, std::string const& dir) {
    args.insert(args.begin(), kBatch);
    return runProgram(kBash, args, dir);
}

// A stand-in for psfpick that records its arguments and folder in the table
// and fails with status 3 for an image named bad.fits.
std::string fakePsfpick(TempDir const& dir) {
    std::string const path =
        dir.write("fake.sh",
                  "#!/bin/sh\n"
                  "out=''; prev=''\n"
                  "for a in \"$@\"; do [ \"$prev\" = -o ] && out=$a; prev=$a; done\n"
                  "[ \"$prev\" = bad.fits ] && { echo 'EXCEPTION: broken' >&2; exit 3; }\n"
                  "{ echo \"# $*\"; echo \"# $(pwd)\"; echo '1 2 3 4 5'; } > \"$out\"\n");
    EXPECT_EQ(std::system(("chmod +x '" + path + "'").c_str()), 0);
    return path;
}

// The real psfpick: a good image, one without its catalogue and a missing one.
TEST(Batch, RunsPsfpickOnEveryImageAndFailsWhenOneFails) {
    if (!haveParallel()) GTEST_SKIP() << "GNU parallel is not installed";
    TempDir dir;
    for (char const* name : {"good.fits", "broken.fits"}) {
        RunResult const m = runProgram(tool("psfpick-mock"),
                                       {"-o", name, "--size", "128", "-n", "30", "-q"}, dir.path());
        ASSERT_EQ(m.status, 0) << m.err;
    }
    std::filesystem::remove(dir.file("broken.cat"));
    RunResult const r =
        batch({"--psfpick", PSFPICK_EXE, "good.fits", "broken.fits", "lost.fits", "--", "-n", "2"},
              dir.path());
    EXPECT_EQ(r.status, 1);
    size_t const rows = numberRows(readFile(dir.file("good.tbl")), 1).size();
    EXPECT_EQ(r.out, "good.fits: " + std::to_string(rows) +
                         " selected, exit status 0\nbroken.fits: failed, exit status 1 (log: " +
                         dir.file("broken.log") + ")\nlost.fits: failed, exit status 1 (log: " +
                         dir.file("lost.log") + ")\npsfpick-batch: 3 images, 2 failed\n");
    EXPECT_NE(readFile(dir.file("broken.log")).find("EXCEPTION: "), std::string::npos);
    EXPECT_NE(readFile(dir.file("good.log")).find("-n 2"), std::string::npos);
}

TEST(Batch, PassesOptionsAndCataloguesAndKeepsTheFailingStatus) {
    if (!haveParallel()) GTEST_SKIP() << "GNU parallel is not installed";
    TempDir dir;
    std::string const fake = fakePsfpick(dir);
    std::filesystem::create_directories(dir.file("data"));
    dir.write("data/a.fits", "");
    dir.write("data/bad.fits", "");
    dir.write("data/e.a.fits", "");  // an error image: not an input of its own
    RunResult const r = batch({"--psfpick", fake, "-d", "out", "-c", "{dir}/cats/{base}.txt",
                               "data", "--", "--nfields", "5,5", "two words"},
                              dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              "data/a.fits: 1 selected, exit status 0\n"
              "data/bad.fits: failed, exit status 3 (log: " +
                  dir.file("out/bad.log") + ")\npsfpick-batch: 2 images, 1 failed\n");
    // psfpick ran in the image's folder with absolute table and catalogue paths,
    // on one thread, as the images run at once.
    EXPECT_EQ(readFile(dir.file("out/a.tbl")),
              "# -i " + dir.file("data/cats/a.txt") + " -o " + dir.file("out/a.tbl") +
                  " --threads 1 --nfields 5,5 two words a.fits\n# " + dir.file("data") +
                  "\n1 2 3 4 5\n");
    EXPECT_EQ(readFile(dir.file("out/bad.log")), "EXCEPTION: broken\n");
}

// A job-array task takes one line of the list and needs no parallel.
TEST(Batch, TaskRunsOneLineOfTheList) {
    TempDir dir;
    std::string const fake = fakePsfpick(dir);
    dir.write("a.fits", "");
    dir.write("b.fits", "");
    dir.write("list.txt", "# images\na.fits\n\nb.fits\n");
    RunResult const r = batch({"--psfpick", fake, "-l", "list.txt", "--task", "2"}, dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "b.fits: 1 selected, exit status 0\npsfpick-batch: 1 images, 0 failed\n");
    EXPECT_TRUE(readFile(dir.file("a.tbl")).empty());
    // Without options after "--" psfpick gets no empty word (it would take it
    // for the image), and one image at a time keeps every core (no --threads).
    EXPECT_EQ(readFile(dir.file("b.tbl")).substr(0, readFile(dir.file("b.tbl")).find('\n')),
              "# -i " + dir.file("b.cat") + " -o " + dir.file("b.tbl") + " b.fits");
    RunResult const beyond =
        batch({"--psfpick", fake, "-l", "list.txt", "--task", "3"}, dir.path());
    EXPECT_EQ(beyond.status, 1);
    EXPECT_EQ(beyond.err, "psfpick-batch: task 3 beyond the 2 images\n");
}

TEST(Batch, BadUsageExitsWithStatusTwo) {
    TempDir dir;
    for (std::vector<std::string> const& args :
         std::vector<std::vector<std::string>>{{}, {"--bogus", "a.fits"}, {"-j", "0", "a.fits"}}) {
        RunResult const r = batch(args, dir.path());
        EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args[0]);
        EXPECT_NE(r.err.find("\nusage: psfpick-batch [options]"), std::string::npos) << r.err;
    }
    RunResult const help = batch({"--help"}, dir.path());
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: psfpick-batch [options]", 0), 0u);
    RunResult const noProgram = batch({"--psfpick", "no/such/psfpick", "a.fits"}, dir.path());
    EXPECT_EQ(noProgram.status, 1);
    EXPECT_EQ(noProgram.err, "psfpick-batch: cannot find the psfpick program '" +
                                 dir.file("no/such/psfpick") + "' (use --psfpick)\n");
}

}  // namespace
