// The file copy against `cp` followed by `sync`, on a 1 GB file.
//
//   build/bench/copy_bench [folder] [megabytes]
//
// Both copies end with the data on disk: ours flushes the copy itself, the
// shell pair flushes everything. Each is run three times, alternating, and
// the medians are compared; the target is a ratio of at most 1.2.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/FileCopy.h"

namespace {

double Seconds(const std::function<bool()>& run) {
    const auto start = std::chrono::steady_clock::now();
    if (!run()) {
        std::fprintf(stderr, "copy_bench: a copy failed\n");
        std::exit(1);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A file of real blocks (not sparse), so both copies move every byte.
void WriteSource(const std::string& path, std::size_t megabytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::perror("copy_bench: cannot create the source");
        std::exit(1);
    }
    std::vector<unsigned char> block(std::size_t{1} << 20);
    for (std::size_t mb = 0; mb < megabytes; ++mb) {
        for (std::size_t i = 0; i < block.size(); i += 8)
            block[i] = static_cast<unsigned char>(mb * 31 + i);
        if (::write(fd, block.data(), block.size()) != static_cast<ssize_t>(block.size())) {
            std::perror("copy_bench: cannot write the source");
            std::exit(1);
        }
    }
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string base = argc > 1 ? argv[1] : std::filesystem::temp_directory_path().string();
    const std::size_t megabytes = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1024;
    std::string folder = base + "/copy-bench-XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr) {
        std::perror("copy_bench: cannot make a folder");
        return 1;
    }
    const std::string source = folder + "/source.mdb";
    const std::string ours = folder + "/ours.mdb";
    const std::string theirs = folder + "/cp.mdb";
    WriteSource(source, megabytes);

    std::vector<double> oursSeconds, cpSeconds;
    for (int round = 0; round < 3; ++round) {
        std::filesystem::remove(ours);
        std::filesystem::remove(theirs);
        ::sync();
        oursSeconds.push_back(
            Seconds([&] { return platform::CopyFileAtomically(source, ours).Succeeded(); }));
        ::sync();
        const std::string command = "cp '" + source + "' '" + theirs + "' && sync";
        cpSeconds.push_back(Seconds([&] { return std::system(command.c_str()) == 0; }));
    }
    std::filesystem::remove_all(folder);

    const double oursMedian = Median(oursSeconds);
    const double cpMedian = Median(cpSeconds);
    std::printf("file: %zu MB\n", megabytes);
    std::printf("CopyFileAtomically: %.3f s (median of 3)\n", oursMedian);
    std::printf("cp + sync:          %.3f s (median of 3)\n", cpMedian);
    std::printf("ratio: %.2f (target <= 1.20)\n", oursMedian / cpMedian);
    return 0;
}
