// Measures the import of genuine Access files against mdbtools' mdb-export
// dumping every table of the same files to CSV: the reading floor, since the
// import reads the same pages through the same library and then also writes
// a database. Both run as processes, as an operator runs them; each is timed
// over several runs and the best run counts. Prints per file and in total,
// with the ratio (target: within 1.0x), and the program's start-up time that
// every import pays before it reads anything.
//
//   import_bench [FOLDER] [--runs N]
//
// FOLDER (default: the genuine test files) is read only; the imports go to a
// temporary folder that is removed afterwards.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double kRatioTarget = 1.0;

// Runs a program with its output into `output` (a file name); the exit status.
int Run(const std::vector<std::string>& arguments, const std::string& output) {
    std::fflush(stdout);  // or the child writes our buffered lines again
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!std::freopen(output.c_str(), "w", stdout) || !std::freopen("/dev/null", "w", stderr))
            ::_exit(126);
        std::vector<char*> argv;
        for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> TablesOf(const fs::path& file, const fs::path& scratch) {
    const std::string listing = (scratch / "tables.txt").string();
    if (Run({"/usr/bin/mdb-tables", "-1", file.string()}, listing) != 0) return {};
    std::vector<std::string> tables;
    std::FILE* in = std::fopen(listing.c_str(), "r");
    char line[1024];
    while (in && std::fgets(line, sizeof line, in)) {
        std::string name(line);
        while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
        if (!name.empty()) tables.push_back(name);
    }
    if (in) std::fclose(in);
    return tables;
}

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

}  // namespace

int main(int argc, char** argv) {
    fs::path folder = VANTOLY_GENUINE_DIR;
    int runs = 5;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else
            folder = a;
    }
    char pattern[] = "/tmp/import-bench-XXXXXX";
    if (!::mkdtemp(pattern)) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path scratch = pattern;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const auto ext = entry.path().extension();
        if (ext == ".mdb" || ext == ".accdb") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());

    std::printf("%-30s %10s %10s %7s\n", "file", "import s", "export s", "ratio");
    double importTotal = 0, exportTotal = 0;
    for (const auto& file : files) {
        const auto tables = TablesOf(file, scratch);
        double bestImport = 1e9, bestExport = 1e9;
        for (int r = 0; r < runs; ++r) {
            const fs::path dest = scratch / ("run" + std::to_string(r) + file.extension().string());
            auto start = Clock::now();
            const int status = Run({VANTOLY_PATCH_BINARY, "import", file.string(), dest.string()},
                                   (scratch / "import.txt").string());
            bestImport = std::min(bestImport, Seconds(start, Clock::now()));
            if (status > 1) std::cerr << "import of " << file << " failed (" << status << ")\n";
            fs::remove(dest);
            start = Clock::now();
            for (const auto& table : tables) {
                Run({"/usr/bin/mdb-export", file.string(), table},
                    (scratch / "export.csv").string());
            }
            bestExport = std::min(bestExport, Seconds(start, Clock::now()));
        }
        importTotal += bestImport;
        exportTotal += bestExport;
        std::printf("%-30s %10.4f %10.4f %7.2f\n", file.filename().c_str(), bestImport, bestExport,
                    bestImport / bestExport);
    }
    // The program's own start (its libraries, Qt's among them) is paid once
    // per file; on files of a few hundred rows it is most of the import.
    double start = 1e9;
    for (int r = 0; r < runs; ++r) {
        const auto at = Clock::now();
        Run({VANTOLY_PATCH_BINARY, "--version"}, (scratch / "version.txt").string());
        start = std::min(start, Seconds(at, Clock::now()));
    }
    std::printf(
        "program start (VantolyPatch --version): %.4f s per file; import less the starts: %.4f s, "
        "%.2fx\n",
        start, importTotal - start * static_cast<double>(files.size()),
        (importTotal - start * static_cast<double>(files.size())) / exportTotal);
    const double ratio = importTotal / exportTotal;
    std::printf("%-30s %10.4f %10.4f %7.2f  (target: within %.1fx) %s\n", "total", importTotal,
                exportTotal, ratio, kRatioTarget, ratio <= kRatioTarget ? "met" : "NOT met");
    fs::remove_all(scratch);
    return 0;
}
