// Every input kept for the fuzz targets, the findings and the seeds in tests/data/fuzz/<target>/,
// run through the targets. A target abort()s when a property breaks, so a finding that comes
// back fails this test, and the input's name is the last line printed.

#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdio>

// The targets' entry points, each renamed from LLVMFuzzerTestOneInput by the build.
extern "C" {
int fuzz_settings_reader(const uint8_t* data, size_t size);
int fuzz_settings_string(const uint8_t* data, size_t size);
int fuzz_entry_rules(const uint8_t* data, size_t size);
int fuzz_sender_plain(const uint8_t* data, size_t size);
int fuzz_sender_xmodem(const uint8_t* data, size_t size);
int fuzz_sender_ymodem(const uint8_t* data, size_t size);
int fuzz_sender_zmodem(const uint8_t* data, size_t size);
}

namespace {

struct Target
{
    QString name;
    int (*run)(const uint8_t*, size_t);
};

const Target kTargets[] = { { "settings_reader", fuzz_settings_reader },
    { "settings_string", fuzz_settings_string }, { "entry_rules", fuzz_entry_rules },
    { "sender_plain", fuzz_sender_plain }, { "sender_xmodem", fuzz_sender_xmodem },
    { "sender_ymodem", fuzz_sender_ymodem }, { "sender_zmodem", fuzz_sender_zmodem } };

} // namespace

int main()
{
    const QDir data(ZELVIC_FUZZ_DATA);
    int missing = 0;
    QStringList known;
    for (const Target& target : kTargets) {
        known << target.name;
        const QDir folder(data.filePath(target.name));
        const QStringList inputs = folder.entryList(QDir::Files, QDir::Name);
        if (inputs.isEmpty()) {
            std::fprintf(stderr, "No inputs in %s\n", qPrintable(folder.path()));
            ++missing;
        }
        for (const QString& name : inputs) {
            QFile file(folder.filePath(name));
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "Cannot read %s\n", qPrintable(file.fileName()));
                ++missing;
                continue;
            }
            const QByteArray bytes = file.readAll();
            std::printf("%s/%s\n", qPrintable(target.name), qPrintable(name));
            std::fflush(stdout);
            target.run(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
        }
    }
    for (const QString& folder : data.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!known.contains(folder)) {
            std::fprintf(stderr, "%s belongs to no fuzz target\n", qPrintable(folder));
            ++missing;
        }
    }
    return missing == 0 ? 0 : 1;
}
