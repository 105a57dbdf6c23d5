#include "tool_runner.h"

#include <fcntl.h>
#include <iconv.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

namespace testdat {

namespace {

std::string Env(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0' ? std::string(v) : fallback;
}

}  // namespace

bool WindowsTool() { return !Env("RAVELKIT_RUNNER", "").empty(); }

std::string ToolPath(const std::string& hostPath) {
    if (!WindowsTool()) return hostPath;
    std::string p = "Z:" + hostPath;
    for (char& c : p)
        if (c == '/') c = '\\';
    return p;
}

std::string Printed(const std::string& hostPath) { return ToolPath(hostPath); }

std::string Lines(const std::string& text) {
    if (!WindowsTool()) return text;
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

std::string HostName(const std::string& archiveName) {
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open CP932");
    std::string in = archiveName, out(archiveName.size() * 3, '\0');
    char* inp = in.data();
    char* outp = out.data();
    size_t inLeft = in.size(), outLeft = out.size();
    size_t done = iconv(cd, &inp, &inLeft, &outp, &outLeft);
    iconv_close(cd);
    if (done == static_cast<size_t>(-1)) return "";
    out.resize(out.size() - outLeft);
    return out;
}

std::string Listed(const std::string& text) { return HostName(text); }

bool WindowsCodePage932() {
    if (!WindowsTool()) return false;
    std::string locale = Env("LC_ALL", Env("LC_CTYPE", Env("LANG", "")));
    return locale.compare(0, 5, "ja_JP") == 0;
}

std::string ToolExe() { return Env("RAVELKIT_EXE", RAVELKIT_DEFAULT_EXE); }

namespace {

// Runs exe with args, through runner unless it is empty, as options say.
RunResult Run(const std::string& runner, const std::string& exe, const std::vector<std::string>& args,
              const ToolOptions& options) {
    const std::string& cwd = options.cwd;
    std::vector<std::string> argv;
    if (!runner.empty()) argv.push_back(runner);
    argv.push_back(exe);
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (std::string& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);

    // Standard error goes to a file read back at the end; under an emulator
    // to /dev/null: its background processes inherit standard error and
    // outlive the tool, so keep them off anything the tests wait on.
    std::string errPath = "/dev/null";
    if (runner.empty()) {
        errPath = (fs::temp_directory_path() / "ravelkit-stderr-XXXXXX").string();
        int fd = mkstemp(errPath.data());
        if (fd < 0) throw std::runtime_error("mkstemp");
        close(fd);
    }
    std::vector<std::string> env = options.env;
    std::vector<char*> cenv;
    for (std::string& e : env) cenv.push_back(e.data());

    int pipeFds[2];
    if (pipe(pipeFds) != 0) throw std::runtime_error("pipe");
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork");
    if (pid == 0) {
        int out = options.stdoutFile.empty() ? pipeFds[1] : open(options.stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errPath.c_str(), O_WRONLY);
        // No input: the tool reads none, and a Windows build that found a
        // console there of its own would wait for a key.
        int in = open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || in < 0) _exit(125);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        close(pipeFds[0]);
        close(pipeFds[1]);
        for (char* e : cenv) putenv(e);
        for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) signal(sig, SIG_DFL);
        for (int sig : options.ignoredSignals) signal(sig, SIG_IGN);
        if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
        execv(cargv[0], cargv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    std::thread watcher;
    if (options.whileRunning) watcher = std::thread(options.whileRunning, static_cast<int>(pid));
    RunResult result;
    char buf[65536];
    ssize_t n;
    while ((n = read(pipeFds[0], buf, sizeof buf)) != 0) {
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        result.out.append(buf, static_cast<size_t>(n));
    }
    close(pipeFds[0]);
    int wstatus = 0;
    while (waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
    }
    if (watcher.joinable()) watcher.join();
    result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    result.signal = WIFSIGNALED(wstatus) ? WTERMSIG(wstatus) : 0;
    if (runner.empty()) {
        std::ifstream f(errPath, std::ios::binary);
        result.err.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
        std::remove(errPath.c_str());
    }
    return result;
}

}  // namespace

RunResult RunTool(const std::vector<std::string>& args, const std::string& cwd) {
    return RunToolAt(ToolExe(), args, cwd);
}

RunResult RunToolAt(const std::string& exe, const std::vector<std::string>& args, const std::string& cwd) {
    ToolOptions options;
    options.cwd = cwd;
    return Run(Env("RAVELKIT_RUNNER", ""), exe, args, options);
}

RunResult RunToolWith(const std::vector<std::string>& args, const ToolOptions& options) {
    return Run(Env("RAVELKIT_RUNNER", ""), ToolExe(), args, options);
}

RunResult RunPosixBuild(const std::vector<std::string>& args) {
    return Run("", RAVELKIT_DEFAULT_EXE, args, ToolOptions());
}

std::map<std::string, std::string> Tree(const std::string& dir) {
    std::map<std::string, std::string> tree;
    for (const auto& item : fs::recursive_directory_iterator(dir)) {
        std::string rel = fs::relative(item.path(), dir).generic_string();
        if (item.is_directory()) {
            tree[rel + "/"] = "";
        } else {
            std::ifstream f(item.path(), std::ios::binary);
            tree[rel] = std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
        }
    }
    return tree;
}

std::string MakeTempDir(const std::string& parent) {
    std::string templ = ((parent.empty() ? fs::temp_directory_path() : fs::path(parent)) / "ravelkit-test-XXXXXX").string();
    if (mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp");
    return templ;
}

void RemoveTree(const std::string& dir) {
    std::error_code ec;
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir, ec);
}

}  // namespace testdat
