#include "transfer/TransferJob.h"

TransferJob g_job;
