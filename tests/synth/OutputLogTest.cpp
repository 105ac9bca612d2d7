#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

#include <QLoggingCategory>

#include "audio/SoundfontSearch.h"
#include "midi/synth/SynthOutput.h"

namespace {

std::string logged;

void keep(QtMsgType, const QMessageLogContext& context, const QString& text)
{
    logged += std::string(context.category ? context.category : "") + ": " + text.toStdString() + "\n";
}

// Every sound server out of reach, even on a desktop.
void hideSoundServers()
{
    const std::string absent = "/nonexistent/tonvelo-" + std::to_string(getpid());
    setenv("JACK_DEFAULT_SERVER", ("tonvelo-absent-" + std::to_string(getpid())).c_str(), 1);
    setenv("PULSE_SERVER", ("unix:" + absent).c_str(), 1);
    setenv("PIPEWIRE_REMOTE", absent.c_str(), 1);
    setenv("ALSA_CONFIG_PATH", "/dev/null", 1);
}

} // namespace

TEST(OutputLog, SaysWhyTheSynthDidNotOpenOnlyWhenAskedTo)
{
    hideSoundServers();
    const QtMessageHandler previous = qInstallMessageHandler(keep);

    EXPECT_TRUE(SynthOutput::open(SoundfontSearch::system())->waitingForDevice());
    EXPECT_EQ(logged, "") << "the log is off by default";

    QLoggingCategory::setFilterRules(QStringLiteral("tonvelo.*=true"));
    EXPECT_TRUE(SynthOutput::open(SoundfontSearch::system())->waitingForDevice());
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previous);

    for (const char* tried : { "pulseaudio: ", "audio driver alsa" })
        EXPECT_NE(logged.find(std::string("tonvelo.output: ") + tried), std::string::npos) << tried;
    EXPECT_NE(logged.find("tonvelo.output: synth: no audio output opened"), std::string::npos) << logged;
}
