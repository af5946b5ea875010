// The runner of the end-to-end cases: each feature's file instantiates it
// with its own cases.
#include "audit_fixture.h"

TEST_P(audit, run)
{
    const audit_case &c = GetParam();
    std::vector<std::pair<std::string, std::string>> paths;
    for (const auto &[name, text] : c.files)
        paths.emplace_back("@" + name, write_file(name, text));
    std::vector<std::string> argv{"portslot-audit"};
    for (const std::string &arg : c.args) {
        std::string value = arg;
        for (const auto &[at, path] : paths)
            if (arg == at)
                value = path;
        argv.push_back(value);
    }
    std::string out = c.out, err = c.err;
    for (const auto &[at, path] : paths)
        for (std::string *text : {&out, &err})
            for (std::size_t pos; (pos = text->find(at)) != std::string::npos;)
                text->replace(pos, at.size(), path);

    const std::string in = c.stdin_text ? write_file("stdin", c.stdin_text) : "";
    const tool_run run =
        run_tool(PORTSLOT_AUDIT_PATH, argv, nullptr, c.stdin_text ? in.c_str() : nullptr);
    for (const auto &[name, text] : c.files_after) {
        std::ifstream file(write_file_path(name), std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), text) << name;
    }
    for (const auto &[at, path] : paths)
        std::remove(path.c_str());
    if (c.stdin_text)
        std::remove(in.c_str());
    EXPECT_EQ(run.out, out);
    EXPECT_EQ(run.err, err);
    EXPECT_EQ(run.status, c.status);
}

