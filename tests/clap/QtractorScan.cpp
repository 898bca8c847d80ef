// Qtractor's plug-in scanner loads Tessaloom.clap as that host does (load, factory, create, init, extension queries,
// destroy) and must describe it with exactly the expected line; only the hash of the id varies between runs.
// Usage: QtractorScan SCANNER PLUGIN.clap

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    const std::string scanner = argv[1], plugin = argv[2];
    if (std::FILE* f = std::fopen(scanner.c_str(), "rb"))
        std::fclose(f);
    else
    {
        std::printf("skipped: %s not found (Debian: qtractor)\n", scanner.c_str());
        return 77;
    }
    const std::string command = "echo 'CLAP:" + plugin + "' | '" + scanner + "' 2>/dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return 1;
    std::string output;
    char buffer[512];
    while (std::fgets(buffer, sizeof(buffer), pipe) != nullptr)
        output += buffer;
    pclose(pipe);

    const std::string expected = "CLAP|Tessaloom|2:2|0:0|12:0|EXT,RT|" + plugin + "|0|0x";
    const bool matches = output.compare(0, expected.size(), expected) == 0 && output.find('\n') == output.size() - 1 &&
                         output.size() > expected.size() + 1;
    const std::string verdict = matches ? "ok" : "FAIL, expected " + expected + "...";
    std::printf("%s: %s", verdict.c_str(), output.empty() ? "(no output)\n" : output.c_str());
    return matches ? 0 : 1;
}
