#include "window/win32/VelocityBar.h"

#include <initguid.h>
#include <oleacc.h>

#include <algorithm>
#include <string>

namespace {

constexpr int smallStep = 1;
constexpr int largeStep = 10;

} // namespace

VelocityBar::~VelocityBar()
{
    if (!annotations_)
        return;
    annotations_->ClearHwndProps(bar_, OBJID_CLIENT, CHILDID_SELF, &PROPID_ACC_VALUE, 1);
    annotations_->Release();
}

void VelocityBar::create(HWND parent, int id)
{
    bar_ = CreateWindowExW(0, L"SCROLLBAR", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | SBS_VERT, 0, 0, 0, 0,
        parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
    // Without the service (no COM) the bar still says its own count.
    if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
            reinterpret_cast<void**>(&annotations_))))
        annotations_ = nullptr;
}

void VelocityBar::announce()
{
    if (!annotations_)
        return;
    const std::wstring text = std::to_wstring(value());
    annotations_->SetHwndPropStr(bar_, OBJID_CLIENT, CHILDID_SELF, PROPID_ACC_VALUE, text.c_str());
    NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, bar_, OBJID_CLIENT, CHILDID_SELF);
}

void VelocityBar::setRange(int16_t top, int16_t bottom)
{
    range_ = { top, bottom };
    SetScrollRange(bar_, SB_CTL, 0, range_.span(), TRUE);
}

void VelocityBar::setValue(int16_t value)
{
    SetScrollPos(bar_, SB_CTL, range_.placeOf(value), TRUE);
    announce();
}

int16_t VelocityBar::value() const
{
    return static_cast<int16_t>(range_.valueAt(GetScrollPos(bar_, SB_CTL)));
}

bool VelocityBar::scroll(int request)
{
    SCROLLINFO info {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    GetScrollInfo(bar_, SB_CTL, &info);
    int position = info.nPos;
    switch (request) {
    case SB_LINEUP:
        position -= smallStep;
        break;
    case SB_LINEDOWN:
        position += smallStep;
        break;
    case SB_PAGEUP:
        position -= largeStep;
        break;
    case SB_PAGEDOWN:
        position += largeStep;
        break;
    case SB_TOP:
        position = info.nMin;
        break;
    case SB_BOTTOM:
        position = info.nMax;
        break;
    // While the thumb is dragged the value stays; it changes where the drag ends.
    case SB_THUMBPOSITION:
        position = info.nTrackPos;
        break;
    default:
        return false;
    }
    position = std::clamp(position, info.nMin, info.nMax);
    if (position == info.nPos)
        return false;
    SetScrollPos(bar_, SB_CTL, position, TRUE);
    announce();
    return true;
}

bool VelocityBar::turn(int delta)
{
    // Fine-grained wheels send parts of a notch: a step per whole notch.
    wheelRest_ += delta;
    bool moved = false;
    for (; wheelRest_ >= WHEEL_DELTA; wheelRest_ -= WHEEL_DELTA)
        moved |= scroll(SB_LINEUP);
    for (; wheelRest_ <= -WHEEL_DELTA; wheelRest_ += WHEEL_DELTA)
        moved |= scroll(SB_LINEDOWN);
    return moved;
}
