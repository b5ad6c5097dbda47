// probe_corpus: the container probe over files, natively, one line each:
//
//   probe_corpus FILE...        (or --stdin: one path per line)
//
// prints  VERDICT <tab> READS <tab> CPU-MICROSECONDS <tab> WIDTHxHEIGHT <tab> REASON <tab> PATH
// (the frame size as the container declares it, 0x0 where it says none)
// so the corpus runner can check the probe against every clip it knows.
#include "engine/capture/core/container_probe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

namespace {

class FileReader final : public kadrix::ProbeReader
{
public:
    explicit FileReader(int fd) : fd_(fd) {}
    std::uint64_t Size() override
    {
        struct stat st = {};
        return fstat(fd_, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    }
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override
    {
        const ssize_t n = pread(fd_, buffer, count, static_cast<off_t>(offset));
        return n > 0 ? static_cast<std::size_t>(n) : 0;
    }

private:
    int fd_;
};

double CpuMicroseconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

bool ProbeFile(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) {
        std::fprintf(stderr, "probe_corpus: can't open %s\n", path.c_str());
        return false;
    }
    FileReader reader(fd);
    const double start = CpuMicroseconds();
    const kadrix::ContainerProbe probe = kadrix::ProbeContainer(reader);
    const double cpu = CpuMicroseconds() - start;
    close(fd);
    std::printf("%s\t%d\t%.1f\t%ux%u\t%s\t%s\n", kadrix::VerdictName(probe.verdict), probe.reads,
                cpu, probe.width, probe.height, probe.reason, path.c_str());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: probe_corpus FILE... | probe_corpus --stdin\n");
        return 2;
    }
    bool ok = true;
    if (std::string(argv[1]) == "--stdin") {
        std::string path;
        while (std::getline(std::cin, path))
            if (!path.empty())
                ok = ProbeFile(path) && ok;
    } else {
        for (int i = 1; i < argc; ++i)
            ok = ProbeFile(argv[i]) && ok;
    }
    return ok ? 0 : 1;
}
