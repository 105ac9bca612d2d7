#include "window/qt/WindowSystemStart.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include <QString>

namespace {

struct KeptMessage {
    QtMsgType type;
    std::string category;
    QString text;
};

// The synth and the port list open on threads of their own meanwhile, and
// may log too.
std::mutex keptMutex;

std::vector<KeptMessage>& kept()
{
    static std::vector<KeptMessage> messages;
    return messages;
}

void hold(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtFatalMsg) {
        // Our line says what it means; Qt's own says why.
        std::fputs("tonvelo: no display to show the window on\n", stderr);
        std::fprintf(stderr, "%s\n", qUtf8Printable(text));
        std::_Exit(EXIT_FAILURE);
    }
    std::lock_guard lock(keptMutex);
    kept().push_back({ type, context.category ? context.category : "default", text });
}

} // namespace

WindowSystemStart::WindowSystemStart()
    : previous_(qInstallMessageHandler(hold))
{
}

WindowSystemStart::~WindowSystemStart()
{
    qInstallMessageHandler(previous_);
    std::lock_guard lock(keptMutex);
    for (const auto& message : kept())
        qt_message_output(
            message.type, QMessageLogContext(nullptr, 0, nullptr, message.category.c_str()), message.text);
    kept().clear();
}
