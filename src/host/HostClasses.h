#pragma once
// Registers the host's two classes (toolbox and host data) in the process's class table for as long
// as the object lives, as a host does when it starts.
#include "platform/WinTypes.h"

class HostClasses {
 public:
  HostClasses();
  ~HostClasses();
  HostClasses(const HostClasses&) = delete;
  HostClasses& operator=(const HostClasses&) = delete;

 private:
  DWORD m_ToolboxCookie = 0;
  DWORD m_DataCookie = 0;
};
