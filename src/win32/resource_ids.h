#pragma once

// Resource identifiers, shared by the resource script and the code.
#define IDI_APP 1
#define IDI_OPENSV1 2
#define IDI_OPENBIG 3
#define IDI_OPENSGA 4
#define IDI_SAVESELECTED 5
#define IDI_SAVEALL 6
