#include "tools/velmora-image/generate_command.h"

#include <cerrno>
#include <string_view>

#include "config/flash_image_file.h"
#include "config/image_file.h"
#include "pages/models/page_set.h"
#include "pages/models/power_wave_model.h"
#include "script/key_script_extractor.h"
#include "script/process_runner.h"
#include "tools/velmora-image/commands.h"

namespace velmora::image_tool {

namespace {

// Prints what the pages said, one message a line, and remembers whether a check failed or a side
// file was refused.
class MessageLog {
public:
    explicit MessageLog(std::ostream& err) : err_(err) {}

    void add(const PageMessages& messages) {
        for (const PageMessage& m : messages) {
            err_ << m.text << "\n";
            check_failed_ |= m.kind == MessageKind::check_failed;
            refused_ |= m.kind == MessageKind::refused;
        }
    }
    void add(const std::optional<PageMessage>& message) {
        if (message) {
            add(PageMessages{*message});
        }
    }
    bool check_failed() const { return check_failed_; }
    bool refused() const { return refused_; }

private:
    std::ostream& err_;
    bool check_failed_ = false;
    bool refused_ = false;
};

// Parse, as the view does it with a freshly constructed block, script buffer and runner, then the
// pages' load, the side files and the power wave: everything up to the store.
struct LoadedImage {
    ConfigBlock config;
    KeyScriptBuffer script;
    ProcessRunner runner;
    FlashImageFile source;
    PageSet pages;
};

int load_inputs(const BlockInputs& inputs, LoadedImage& loaded, MessageLog& log, std::ostream& err) {
    // The image stays open: OUT is written from the same file, and refused if it changes meanwhile.
    if (const auto message = loaded.source.parse(inputs.image, loaded.config, loaded.script,
                                                 [&] { ExtractKeyScript(loaded.script, loaded.runner); })) {
        err << message_text(*message).text << "\n";
        return k_exit_refused;
    }
    log.add(loaded.pages.LoadPages(loaded.config));

    for (const SideFileInfo& info : k_side_files) {
        const auto file = inputs.side_files.find(info.kind);
        if (file == inputs.side_files.end()) {
            continue;
        }
        log.add(load_side_file(loaded.pages.page_for(info.kind), info.kind, file->second));
        if (log.refused()) {
            return k_exit_refused;  // a script must not get an image without the file it asked for
        }
    }
    if (inputs.power_wave) {
        PowerWaveModel power_wave;
        power_wave.text = *inputs.power_wave;
        // The dialog would stay open on this text: the option is refused as bad usage.
        if (const auto refused = power_wave.ok(loaded.config)) {
            err << refused->text << "\n";
            return k_exit_usage;
        }
    }
    return k_exit_ok;
}

}  // namespace

int run_generate(const GenerateOptions& options, std::ostream& out, std::ostream& err) {
    LoadedImage loaded;
    MessageLog log(err);
    if (const int status = load_inputs(options, loaded, log, err); status != k_exit_ok) {
        return status;
    }
    const GenerateTarget target{options.output,
                                options.sync ? platform::Durability::synced : platform::Durability::renamed};
    const ImageMessage result = generate_image(target, loaded.source, loaded.config, [&](ConfigBlock& block) {
        log.add(loaded.pages.StorePages(block));
        return !log.check_failed();
    });
    // As in the window, a failed check writes nothing and no success follows its message.
    if (log.check_failed()) {
        return options.strict ? k_exit_check_failed : k_exit_refused;
    }
    if (result != ImageMessage::save_success) {
        err << message_text(result).text << "\n";
        return k_exit_refused;
    }
    errno = 0;
    out << message_text(result).text << "\n";
    return finish_report(out, err, k_exit_ok);
}

BuiltBlock build_config_block(const BlockInputs& inputs, std::ostream& err) {
    BuiltBlock built;
    LoadedImage loaded;
    MessageLog log(err);
    built.status = load_inputs(inputs, loaded, log, err);
    if (built.status != k_exit_ok) {
        return built;
    }
    log.add(loaded.pages.StorePages(loaded.config));
    built.block = loaded.config;
    built.check_failed = log.check_failed();
    return built;
}

std::string power_wave_option_error(const std::string& text) {
    const auto refused = check_power_wave(text);
    return refused ? refused->text : std::string();
}

std::vector<char*> with_empty_power_wave(int argc, char** argv) {
    static char option[] = "--power-wave";
    static char empty[] = "";
    std::vector<char*> args;
    bool options_end = false;
    for (int i = 0; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (i != 0 && !options_end && arg == "--power-wave=") {
            args.push_back(option);
            args.push_back(empty);
            continue;
        }
        options_end |= i != 0 && arg == "--";
        args.push_back(argv[i]);
    }
    return args;
}

}  // namespace velmora::image_tool
