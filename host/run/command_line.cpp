#include "run/command_line.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

const char *const hostUsage =
    "usage: vishost [options] [FILE...]\n"
    "Drives a vis plug-in the way the player does.\n"
    "  FILE...         play sound files in turn (MP3, FLAC, Ogg Vorbis, WAV, or\n"
    "                  whatever else the system decodes) instead of the built-in\n"
    "                  program; a .m3u or .m3u8 playlist plays its entries\n"
    "  --wav FILE      the same as FILE\n"
    "  --input [NAME]  visualise a recording device instead: the default one, or\n"
    "                  the one whose name contains NAME; nothing is played\n"
    "  --stdin         visualise the sound on standard input instead: raw 16-bit\n"
    "                  little-endian stereo at 44.1 kHz; the 16 bytes\n"
    "                  VLVIS-NEW-STREAM come before each new recording\n"
    "  --list-inputs   list the recording devices and end\n"
    "  --plugin PATH   the plug-in DLL (default: vlvis003.dll beside vishost.exe)\n"
    "  --list          list the plug-in's modules and end\n"
    "  --about         open the plug-in's About box and end\n"
    "  --module N[,N]  the module(s) to run, in turn on one vis thread (default 0)\n"
    "  --seconds S     stop each module after S seconds\n"
    "  --capture DIR   write the rendered frames to DIR as frame-NNNNNN.png\n"
    "  --stats         print frame rate, frame intervals, CPU per frame and\n"
    "                  the frames the capture dropped\n"
    "  --mute          play nothing; pace by the clock\n"
    "  --steady        play nothing; each frame moves the sound on by the\n"
    "                  module's delay, however long the frame took, so that\n"
    "                  a capture shows the same frames on any machine\n"
    "  --render-silence  render every frame, also once a long silence has\n"
    "                  settled (render is then paused until sound comes back);\n"
    "                  the frames are the same either way\n"
    "Esc, closing the host window or Ctrl+C ends the run.\n";

namespace {

bool parseModules(const std::string &text, std::vector<int> &modules)
{
    modules.clear();
    const char *at = text.c_str();
    for (;;) {
        if (*at < '0' || *at > '9') return false;
        char *end = nullptr;
        errno = 0;
        const long value = std::strtol(at, &end, 10);
        if (errno != 0 || value > 1000000) return false;
        modules.push_back(static_cast<int>(value));
        if (*end == '\0') return true;
        if (*end != ',') return false;
        at = end + 1;
    }
}

bool parseSeconds(const std::string &text, double &seconds)
{
    if (text.empty() || text[0] < '0' || text[0] > '9') return false;
    char *end = nullptr;
    errno = 0;
    seconds = std::strtod(text.c_str(), &end);
    // A day is far beyond any demo; the bound keeps the clock arithmetic exact.
    return errno == 0 && *end == '\0' && seconds > 0.0 && seconds <= 86400.0;
}

}  // namespace

bool parseCommandLine(int argc, const char *const *argv, HostOptions &options, std::string &error)
{
    options = HostOptions();
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const bool takesValue = option == "--plugin" || option == "--module" || option == "--wav" ||
                                option == "--seconds" || option == "--capture";
        if (takesValue && (i + 1 >= argc || argv[i + 1][0] == '\0')) {
            error = option + " needs a value";
            return false;
        }
        if (option == "--plugin") {
            options.pluginPath = argv[++i];
        } else if (option == "--module") {
            const std::string value = argv[++i];
            if (!parseModules(value, options.modules)) {
                error = "--module needs a module number or a comma-separated list of them, not '" + value + "'";
                return false;
            }
        } else if (option == "--wav") {
            options.soundFiles.push_back(argv[++i]);
        } else if (option == "--input") {
            options.input = true;
            // The name is optional: a following option is not taken for one.
            if (i + 1 < argc && argv[i + 1][0] != '-') options.inputName = argv[++i];
        } else if (option == "--stdin") {
            options.input = options.stdinInput = true;
        } else if (option == "--list-inputs") {
            options.listInputs = true;
        } else if (option == "--seconds") {
            const std::string value = argv[++i];
            if (!parseSeconds(value, options.seconds)) {
                error = "--seconds needs a number of seconds above 0 and at most 86400, not '" + value + "'";
                return false;
            }
        } else if (option == "--capture") {
            options.captureFolder = argv[++i];
        } else if (option == "--list") {
            options.list = true;
        } else if (option == "--about") {
            options.about = true;
        } else if (option == "--stats") {
            options.stats = true;
        } else if (option == "--mute") {
            options.mute = true;
        } else if (option == "--render-silence") {
            options.renderSilence = true;
        } else if (option == "--steady") {
            options.steady = options.mute = true;
        } else if (option == "--help" || option == "-h" || option == "/?") {
            options.help = true;
        } else if (option.empty() || option[0] == '-') {
            error = "unknown argument '" + option + "' (--help lists the options)";
            return false;
        } else {
            options.soundFiles.push_back(option);
        }
    }
    if (options.list + options.about + options.listInputs > 1) {
        error = "--list, --about and --list-inputs do not go together";
        return false;
    }
    if (options.stdinInput && !options.inputName.empty()) {
        error = "--stdin and --input do not go together: the sound comes from one place";
        return false;
    }
    if (options.input && options.steady) {
        error = "--input and --steady do not go together: recorded sound comes at its own pace";
        return false;
    }
    if (options.input && !options.soundFiles.empty()) {
        error = "--input and a sound file do not go together: the one is played, the other recorded";
        return false;
    }
    return true;
}
