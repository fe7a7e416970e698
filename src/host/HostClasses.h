#pragma once
// Initialises OLE on the thread and registers the host's two classes (toolbox and host data) in the
// process's class table for as long as the object lives, as a host does when it starts.
#include "platform/ComRuntime.h"

class HostClasses {
 public:
  HostClasses();
  ~HostClasses();
  HostClasses(const HostClasses&) = delete;
  HostClasses& operator=(const HostClasses&) = delete;

 private:
  OleSession m_Ole;
  DWORD m_ToolboxCookie = 0;
  DWORD m_DataCookie = 0;
};
