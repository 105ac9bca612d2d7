#include "window/WindowSystemStart.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <QString>

namespace {

struct HeldMessage {
    QtMsgType type;
    std::string category;
    QString text;
};

std::vector<HeldMessage>& held()
{
    static std::vector<HeldMessage> messages;
    return messages;
}

void hold(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtFatalMsg) {
        std::fputs("tonvelo: no display to show the window on\n", stderr);
        std::_Exit(EXIT_FAILURE);
    }
    held().push_back({ type, context.category ? context.category : "default", text });
}

} // namespace

WindowSystemStart::WindowSystemStart()
    : previous_(qInstallMessageHandler(hold))
{
}

WindowSystemStart::~WindowSystemStart()
{
    qInstallMessageHandler(previous_);
    for (const auto& message : held())
        qt_message_output(
            message.type, QMessageLogContext(nullptr, 0, nullptr, message.category.c_str()), message.text);
    held().clear();
}
