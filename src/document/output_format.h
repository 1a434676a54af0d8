#pragma once

// The formats every document comes in: the report's and the standings'.
enum class ReportFormat { TEXT, SEMIKV, JSON, CSV, HTML };
