// Compiled only by the test that checks the layers: the readers cannot see the component.
#include "component/EEGFileReader.h"
