// SPDX-License-Identifier: MIT
// zelfmt's ways of writing (standard output, -o, --in-place) and of only
// looking (--check, --diff), on a document it rewrites, one it leaves as
// it is, one it refuses and one it cannot read: a refusal or a failed read
// leaves no file and no partial output, and the original as it was. And
// both programs past the file-size limit.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/run.h"

namespace {

// Read as it is, but not as zelfmt writes it.
const std::string kLoose =
    "<orv-standard-file>\n<zelrecord>\n<nomvar>TT</nomvar>\n<ni>1</ni>\n<zeldata>\n"
    "<values>1.5</values>\n</zeldata>\n</zelrecord>\n</orv-standard-file>\n";
// A text no layout lets zelreport read as the XML means.
const std::string kRefused =
    "<orv-standard-file>\n<zelrecord>\n<etiket>A&amp;B</etiket>\n</zelrecord>\n</orv-standard-file>\n";

// The environment of every case: the programs, and what zelfmt makes of
// kLoose in `formatted`.
const std::string kSetUp =
    "ZELFMT=" ZELFMT_BIN " ZELCHECK=" ZELCHECK_BIN " && $ZELFMT in > formatted 2>/dev/null; ";

struct Case {
    const char* what;
    std::string input;  // the file `in`
    std::string command;
    int status;
    std::string out;  // what the command prints last (the files it checks)
};

TEST(ZelfmtModes, NothingLeftBehindOnFailureAndTheResultOnSuccess) {
    // `ls -A` lists what is left in the directory besides the harness's files.
    const std::string left = "; ls -A | grep -v -x -e in -e out -e err -e formatted | tr '\\n' ' '";
    const Case cases[] = {
        {"-o on success", kLoose, "$ZELFMT -o new.xml in && cmp new.xml formatted && echo same" + left, 0,
         "same\nnew.xml "},
        {"-o on a refusal", kRefused, "echo old > new.xml; $ZELFMT -o new.xml in; cat new.xml" + left, 0,
         "old\nnew.xml "},
        {"-o on a read error", kLoose, "$ZELFMT -o new.xml / 2>/dev/null; echo $?" + left, 0, "2\n"},
        {"in place on success", kLoose,
         "cp in doc.xml && $ZELFMT -i doc.xml && cmp doc.xml formatted && echo same" + left, 0,
         "same\ndoc.xml "},
        {"in place on a refusal", kRefused,
         "cp in doc.xml; $ZELFMT --in-place doc.xml; cmp doc.xml in && echo same" + left, 0,
         "same\ndoc.xml "},
        {"in place on a read error", kLoose, "mkdir d; $ZELFMT -i d 2>/dev/null; echo $?" + left, 0, "2\nd "},
        {"check: a rewrite changes it", kLoose, "$ZELFMT --check in 2>&1; echo $?", 0,
         "zelfmt: in: would be rewritten\n1\n"},
        {"check: nothing to change, from standard input", kLoose, "$ZELFMT --check < formatted; echo $?", 0,
         "0\n"},
        {"check: a refusal", kRefused, "$ZELFMT --check in 2>/dev/null; echo $?", 0, "2\n"},
        {"diff", kLoose, "$ZELFMT --diff in | head -3", 0, "--- a/in\n+++ b/in\n@@ -1,7 +1,25 @@\n"},
        {"diff and check", kLoose, "$ZELFMT --diff --check in >/dev/null; echo $?", 0, "1\n"},
        {"no diff", kLoose, "$ZELFMT --diff formatted; echo $?", 0, "0\n"},
        // Standard output gets nothing from a document zelfmt refuses or
        // cannot read, whether a pipe or a file (cut back to where it began).
        {"refusal into a pipe", kRefused, "$ZELFMT in 2>/dev/null | wc -c", 0, "0\n"},
        {"directory into a pipe", kLoose, "$ZELFMT / 2>/dev/null | wc -c", 0, "0\n"},
        {"empty input into a pipe", "", "$ZELFMT in 2>/dev/null | wc -c", 0, "0\n"},
        {"refusal into a file", kRefused, "echo keep > got; $ZELFMT in >> got 2>/dev/null; cat got", 0,
         "keep\n"},
        {"usage: in place on standard input", kLoose, "$ZELFMT -i 2>&1; echo $?", 0,
         "zelfmt: --in-place needs files (see zelfmt --help)\n2\n"},
        {"usage: check and in place", kLoose, "$ZELFMT --check -i in 2>&1; echo $?", 0,
         "zelfmt: choose one of --check, --in-place and -o (see zelfmt --help)\n2\n"},
    };
    for (const Case& c : cases) {
        auto run = zeltest::RunShell(kSetUp + c.command, c.input);
        EXPECT_EQ(run.status, c.status) << c.what << ": " << run.err;
        EXPECT_EQ(run.out, c.out) << c.what;
    }
}

// Output past the file-size limit is a write error with a message and
// status 2, not death by SIGXFSZ.
TEST(ZelfmtModes, FileSizeLimitIsAWriteError) {
    std::string document = "<orv-standard-file>\n";
    for (int i = 0; i < 200; ++i) document += "<zelrecord>\n<nomvar>TT</nomvar>\n</zelrecord>\n";
    document += "</orv-standard-file>\n";
    for (const char* program : {ZELFMT_BIN " in", ZELCHECK_BIN " --all in"}) {
        auto run = zeltest::RunShell(std::string("ulimit -f 1; ") + program + " > got", document);
        EXPECT_EQ(run.status, 2) << program;
        EXPECT_NE(run.err.find("error writing standard output: File too large"), std::string::npos)
            << program << ": " << run.err;
    }
}

}  // namespace
