// The host side of the plug-in library. On the real platform the library
// reports control gestures and automation to the host application and the
// host decides whether it can build a window. A test host implements this
// and hands it over in the bundle record.
#pragma once

class CProcess;

class PlugInHost {
public:
    virtual ~PlugInHost() = default;
    // A control of a process was grabbed, changed or let go.
    virtual void ControlTouched(CProcess* /*process*/, long /*index*/) {}
    virtual void ControlChanged(CProcess* /*process*/, long /*index*/, long /*value*/) {}
    virtual void ControlReleased(CProcess* /*process*/, long /*index*/) {}
    // False makes view building fail as it does when the host is out of memory.
    virtual bool CanBuildViews() { return true; }
};
