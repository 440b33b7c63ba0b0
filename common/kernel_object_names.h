// Names of every kernel object the programs create, open or signal: mutexes, events, sections
// and devices. Each text is spelled as peer programs expect it; never spell one elsewhere.
#pragma once

namespace zorvik::names {

// Single-instance mutexes.
inline constexpr char kUsbServiceMutex[] = "MERIDAXUSB-088FA840-B10D-11D3-BC36-006067709674";
inline constexpr char kSerialServiceMutex[] = "MERIDAXSERIAL-088FA840-B10D-11D3-BC36-006067709674";
inline constexpr char kControlPanelMutex[] =
    "MERIDAXTOUCHCTRL-088FA840-B10D-11D3-BC36-006067709674";
inline constexpr char kClickToolMutex[] = "MERIDAXCLICKCTRL-088FA840-B10D-11D3-BC36-006067709674";

// Control events of the USB service, in wait order. On NT-family systems the service creates
// SETUPCHANGE, EXITPROC and CLICKCHANGE under their "Global\" names.
inline constexpr char kUsbBeepEvent[] = "MERIDAX_TOUCH_EVENT_3F98A_BEEP";
inline constexpr char kUsbSetupChangeEvent[] = "MERIDAX_TOUCH_EVENT_3F98A_SETUPCHANGE";
inline constexpr char kUsbSetupChangeEventGlobal[] =
    "Global\\MERIDAX_TOUCH_EVENT_3F98A_SETUPCHANGE";
inline constexpr char kUsbRescanEvent[] = "MERIDAX_TOUCH_EVENT_3F98A_RESCANDEVICE";
// The control panel signals this name; the service itself creates kUsbRescanEvent.
inline constexpr char kUsbRescanEventGlobal[] = "Global\\MERIDAX_TOUCH_EVENT_3F98A_RESCANDEVICE";
inline constexpr char kUsbExitEvent[] = "MERIDAX_TOUCH_EVENT_3F98A_EXITPROC";
inline constexpr char kUsbExitEventGlobal[] = "Global\\MERIDAX_TOUCH_EVENT_3F98A_EXITPROC";
inline constexpr char kUsbClickChangeEvent[] = "MERIDAX_TOUCH_EVENT_3F98A_CLICKCHANGE";
inline constexpr char kUsbClickChangeEventGlobal[] =
    "Global\\MERIDAX_TOUCH_EVENT_3F98A_CLICKCHANGE";

// Control events of the serial service, in wait order; the service uses no "Global\" names.
inline constexpr char kSerialBeepEvent[] = "MERIDAX_STOUCH_EVENT_3F98A_BEEP";
inline constexpr char kSerialSetupChangeEvent[] = "MERIDAX_STOUCH_EVENT_3F98A_SETUPCHANGE";
inline constexpr char kSerialRescanEvent[] = "MERIDAX_STOUCH_EVENT_3F98A_RESCANDEVICE";
inline constexpr char kSerialExitEvent[] = "MERIDAX_STOUCH_EVENT_3F98A_EXITPROC";
inline constexpr char kSerialClickChangeEvent[] = "MERIDAX_STOUCH_EVENT_3F98A_CLICKCHANGE";
// The control panel opens the serial service's events under these names.
inline constexpr char kSerialSetupChangeEventGlobal[] =
    "Global\\MERIDAX_STOUCH_EVENT_3F98A_SETUPCHANGE";
inline constexpr char kSerialRescanEventGlobal[] =
    "Global\\MERIDAX_STOUCH_EVENT_3F98A_RESCANDEVICE";

// Created by the click tool; set by a service once a one-shot right click has been used.
inline constexpr char kClickChangeAckEvent[] = "MERIDAX_TOUCH_EVENT_3F98A_CLICKCHANGERECV";

// Multi-touch sharing of the USB service.
inline constexpr char kPointSection[] = "Global\\MERIDAX_MTSharedData_10A0_A10AF_3124_0120";
inline constexpr char kRawCellSection[] = "Global\\MERIDAX_MTSharedData_ORG_10A0_A10AF_3124_1112";
inline constexpr char kPointEvent[] = "Global\\MERIDAX_MTOUCHPOINT_IPC_INTERFACE_0401";
inline constexpr char kRawCellEvent[] = "Global\\MERIDAX_MTOUCHPOINT_IPC_ORG_INTERFACE_1A34";
inline constexpr char kPointEventAll[] = "Global\\MERIDAX_MTOUCHPOINT_IPC_INTERFACE_0401_ZORVIK";
inline constexpr char kRawCellEventAll[] =
    "Global\\MERIDAX_MTOUCHPOINT_IPC_ORG_INTERFACE_1A34_ZORVIK";
inline constexpr char kPopupEvent[] = "Global\\MERIDAX_MTOUCHPOINT_POPUP_EVENT";

// Multi-touch sharing of the serial service.
inline constexpr char kSerialSection[] = "Global\\SharedDataTest123";
inline constexpr char kSerialPointEvent[] = "MERIDAX_MTOUCHPOINT_IPC_INTERFACE";

// Devices.
inline constexpr char kVirtualMouseDevice[] = "\\\\.\\MeridaxMouse";
inline constexpr char kBeepDosName[] = "DosBeep";
inline constexpr char kBeepTargetPath[] = "\\Device\\Beep";
inline constexpr char kDosDeviceFormat[] = "\\\\.\\%s";
inline constexpr char kComPortFormat[] = "COM%d";

// USB controllers: device interface class and the two pipes below an interface path.
inline constexpr char kUsbInterfaceClassGuid[] = "{E6EF7DCD-1795-4A08-9FBF-AA78423C26F0}";
inline constexpr char kReadPipeSuffix[] = "\\PIPE01";
inline constexpr char kWritePipeSuffix[] = "\\PIPE00";

}  // namespace zorvik::names
