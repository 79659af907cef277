// An update site of the local test services, outside Wine (testing/services/update_sites.py): an
// HTTP server on a port of its own for one test, whose routes are set through the services'
// control requests. Its resets are real ones (an RST from another process, which WinInet under
// Wine reports as 10054), and its listener can go away for a while after an answer, so that every
// connection is refused, and come back on the same port. It can also leave out a body's length
// (the close ends it, or chunked transfer coding) and name a new version in each answer. It
// neither stalls nor holds answers.
#pragma once
#include <string>
#include <vector>

#include "tests/update_window/UpdateSite.h"

namespace updatetest {

class OutsideUpdateSite final : public UpdateSite {
public:
    OutsideUpdateSite();   // throws std::runtime_error when the services do not make one
    ~OutsideUpdateSite();  // ends the site
    OutsideUpdateSite(const OutsideUpdateSite&) = delete;
    OutsideUpdateSite& operator=(const OutsideUpdateSite&) = delete;

    std::string FolderUrl(const std::string& folder) const override;
    void Set(const std::string& path, Route route) override;
    std::vector<std::string> Requests() const override;
    std::vector<std::string> Ranges() const override;
    std::vector<std::string> IfRanges() const override;

private:
    struct Record {
        std::string path;
        long long range;  // the offset of its Range, -1 when it asked for none
        std::string ifRange;
    };
    std::vector<Record> Records() const;

    std::string m_id;
    unsigned short m_port = 0;
};

}  // namespace updatetest
