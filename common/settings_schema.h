// The settings schema: every key and value name under HKEY_LOCAL_MACHINE\Software\ZorvikTouchParam,
// spelled as stored ("USBAcitve" and "SerialAcitve" included). Defaults live in service_settings.h.
#pragma once

#include <string>

namespace zorvik::schema {

// Keys, relative to the local machine hive.
inline constexpr char kRootKey[] = "Software\\ZorvikTouchParam";
inline constexpr char kGeneralKey[] = "Software\\ZorvikTouchParam\\General";
inline constexpr char kMpControlKey[] = "Software\\ZorvikTouchParam\\MPControl";
inline constexpr char kMonitorMapsKey[] = "Software\\ZorvikTouchParam\\MonitorMaps";
inline constexpr char kDisplayKeyFormat[] = "Software\\ZorvikTouchParam\\MonitorMaps\\Display%02d";
inline constexpr char kUsbActiveKey[] = "Software\\ZorvikTouchParam\\USBAcitve";
inline constexpr char kUsbDeviceKeyFormat[] = "Software\\ZorvikTouchParam\\USBAcitve\\USB%02d";
inline constexpr char kSerialActiveKey[] = "Software\\ZorvikTouchParam\\SerialAcitve";
inline constexpr char kSerialDeviceKeyFormat[] =
    "Software\\ZorvikTouchParam\\SerialAcitve\\COM%02d";
inline constexpr char kSerialDeviceSubkeyFormat[] = "COM%02d";  // below kSerialActiveKey
inline constexpr char kProgramKey[] = "Software\\ZorvikTouchParam\\Program";
// Support diagnostics: a capture of the controllers' streams, asked for at a settings load.
inline constexpr char kDiagnosticsKey[] = "Software\\ZorvikTouchParam\\Diagnostics";
inline constexpr char kCaptureSeconds[] = "CaptureSeconds";
inline constexpr char kCaptureFolder[] = "CaptureFolder";

// Subkey names directly below kRootKey.
inline constexpr char kGeneral[] = "General";
inline constexpr char kMpControl[] = "MPControl";
inline constexpr char kMonitorMaps[] = "MonitorMaps";
inline constexpr char kUsbActive[] = "USBAcitve";
inline constexpr char kSerialActive[] = "SerialAcitve";
inline constexpr char kProgram[] = "Program";

// General.
inline constexpr char kMouseMode[] = "MouseMode";
inline constexpr char kClickMode[] = "ClickMode";
inline constexpr char kTickFreq[] = "TickFreq";
inline constexpr char kTicklength[] = "Ticklength";
inline constexpr char kClickArea[] = "ClickArea";
inline constexpr char kDoubleClickSpeed[] = "DoubleClickSpeed";
inline constexpr char kClickRightLeft[] = "ClickRightLeft";
inline constexpr char kScreenRotateFlag[] = "ScreenRotateFlag";
// Per-monitor values (signed decimal text), nn = display index.
inline constexpr char kMonXFormat[] = "MON%02dX";
inline constexpr char kMonYFormat[] = "MON%02dY";
inline constexpr char kMonXZoomAFormat[] = "MON%02dXZOOMA";  // USB service, ten-thousandths
inline constexpr char kMonYZoomAFormat[] = "MON%02dYZOOMA";
inline constexpr char kMonXZoomFormat[] = "MON%02dXZOOM";  // serial service, thousandths
inline constexpr char kMonYZoomFormat[] = "MON%02dYZOOM";
inline constexpr char kMonAnFormat[] = "MON%02dAn";
inline constexpr char kMonBnFormat[] = "MON%02dBn";
inline constexpr char kMonCnFormat[] = "MON%02dCn";
inline constexpr char kMonDnFormat[] = "MON%02dDn";
inline constexpr char kMonEnFormat[] = "MON%02dEn";
inline constexpr char kMonFnFormat[] = "MON%02dFn";
inline constexpr char kMonDividerFormat[] = "MON%02dDivider";
// Written beside the matrix by the kiosk calibration, ignored by the services: the check error
// and the fit's largest residual in micrometres (decimal text) and when it was made (ISO 8601 UTC).
inline constexpr char kMonCheckErrorUmFormat[] = "MON%02dCheckErrorUm";
inline constexpr char kMonFitErrorUmFormat[] = "MON%02dFitErrorUm";
inline constexpr char kMonCalibratedAtFormat[] = "MON%02dCalibratedAt";

// MPControl.
inline constexpr char kMpXLimitStart[] = "MPXLimitStart";
inline constexpr char kMpXLimitEnd[] = "MPXLimitEnd";
inline constexpr char kMpYLimitStart[] = "MPYLimitStart";
inline constexpr char kMpYLimitEnd[] = "MPYLimitEnd";
inline constexpr char kMpAllowState[] = "MPAllowState";
inline constexpr char kMpLimitState[] = "MPLimitState";
inline constexpr char kEnableMouseAction[] = "EnableMouseAction";
inline constexpr char kFirstTouchOnly[] = "FirstTouchOnly";
inline constexpr char kEnableMpLimit[] = "EnableMPLimit";
inline constexpr char kMpTouchPressure[] = "MPTouchPressure";
inline constexpr char kMpTouchVelocity[] = "MPTouchVelocity";
inline constexpr char kEnableTouchCorrect[] = "EnableTouchCorrect";
inline constexpr char kMpAreaLimitOption[] = "MPAreaLimitOption";
inline constexpr char kMpXAllowAreaPercent[] = "MPXAllowAreaPercent";
inline constexpr char kMpYAllowAreaPercent[] = "MPYAllowAreaPercent";
inline constexpr char kMpPopupActiveTime[] = "MPPopupActiveTime";
inline constexpr char kMpPopupProcessState[] = "MPPopupProcessState";

// MonitorMaps and its Display%02d subkeys.
inline constexpr char kMultiMonSupport[] = "MultiMonSupport";
inline constexpr char kMultiMonMode[] = "MultiMonMode";
inline constexpr char kVirtualScreenWidth[] = "SM_CXVIRTUALSCREEN";
inline constexpr char kVirtualScreenHeight[] = "SM_CYVIRTUALSCREEN";
inline constexpr char kMonitorCount[] = "MonitorCount";
inline constexpr char kActiveMonitor[] = "ActiveMonitor";
inline constexpr char kMonitorX[] = "X";
inline constexpr char kMonitorY[] = "Y";
inline constexpr char kMonitorCX[] = "CX";
inline constexpr char kMonitorCY[] = "CY";
inline constexpr char kAttachedDeviceNo[] = "AttachedDeviceNo";
inline constexpr char kDeviceFormat[] = "Device%02d";
inline constexpr char kDisplayDeviceName[] = "DisplayDeviceName";

// Device lists written by the services.
inline constexpr char kNextInstanceCount[] = "NextInstanceCount";
inline constexpr char kUsbId[] = "USBID";
inline constexpr char kComId[] = "COMID";
inline constexpr char kDeviceActive[] = "DeviceActive";
inline constexpr char kDeviceActiveYes[] = "Yes";
inline constexpr char kFirmwareVersion[] = "FirmwareVersion";
inline constexpr char kDeviceId[] = "DeviceID";

// Program.
inline constexpr char kTargetDir[] = "TargetDir";

// A two-digit "%02d" name has 100 values; loops over numbered names stop there.
inline constexpr int kMaxNumberedNames = 100;

// printf-formats one number into a name such as "MON%02dX" or "Display%02d".
std::string NumberedName(const char* format, int number);
// "General\MON00X": a batch writer's entry name for the General value `format` of `monitor`.
std::string GeneralEntry(const char* format, int monitor);

}  // namespace zorvik::schema
