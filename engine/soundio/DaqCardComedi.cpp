// The Comedi back end of the data-acquisition card: the analog output
// subdevice of a card (an E-series card with ni_pcimio, for instance) runs an
// asynchronous command timed by the card's own clock; the words of the
// converted file are written into the command's buffer as the card takes
// them. Built only when libcomedi was found.
#include "soundio/DaqCard.h"

#include "soundio/Daq12BitConverter.h"

#ifdef VES_HAVE_COMEDI

#include <comedilib.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace {

int comediStatus()
{
    return -std::max(1, comedi_errno());
}

class ComediDaqCard : public IDaqCard {
public:
    ComediDaqCard(comedi_t* dev, std::string device, unsigned subdevice)
        : m_dev(dev), m_device(std::move(device)), m_subdevice(subdevice)
    {
        m_channels = std::min(2, std::max(0, comedi_get_n_channels(m_dev, m_subdevice)));
        m_maxData = comedi_get_maxdata(m_dev, m_subdevice, 0);
        m_long = (comedi_get_subdevice_flags(m_dev, m_subdevice) & SDF_LSAMPL) != 0;
        // The fastest scan the card accepts for one channel.
        comedi_cmd cmd{};
        unsigned chan = CR_PACK(0, 0, AREF_GROUND);
        if (comedi_get_cmd_generic_timed(m_dev, m_subdevice, &cmd, 1, 1) == 0) {
            cmd.chanlist = &chan;
            cmd.chanlist_len = 1;
            comedi_command_test(m_dev, &cmd);
            comedi_command_test(m_dev, &cmd);
            if (cmd.scan_begin_src == TRIG_TIMER && cmd.scan_begin_arg > 0)
                m_maxRateHz = 1000000000LL / cmd.scan_begin_arg;
        }
    }
    ~ComediDaqCard() override { comedi_close(m_dev); }

    std::string description() const override
    {
        const char* board = comedi_get_board_name(m_dev);
        return "Comedi card " + m_device + " (" + (board ? board : "?") + ")";
    }
    bool simulated() const override { return false; }
    std::int64_t minRateHz() const override { return 1; }
    std::int64_t maxRateHz() const override { return m_maxRateHz; }
    int maxChannels() const override { return m_channels; }
    void configure() override { comedi_cancel(m_dev, m_subdevice); }

    int play(const DaqPlayJob& job, const std::atomic<bool>& stop) override
    {
        if (!job.file || job.channels < 1 || job.channels > m_channels || !(job.rateHz > 0))
            return -10003;
        const std::int64_t frames = job.points / job.channels;
        if (frames <= 0)
            return 0;
        unsigned chans[2] = {CR_PACK(0, 0, AREF_GROUND), CR_PACK(1, 0, AREF_GROUND)};
        comedi_cmd cmd{};
        const auto period = static_cast<unsigned>(std::max(1.0, 1e9 / job.rateHz));
        if (comedi_get_cmd_generic_timed(m_dev, m_subdevice, &cmd, static_cast<unsigned>(job.channels), period) < 0)
            return comediStatus();
        cmd.chanlist = chans;
        cmd.chanlist_len = static_cast<unsigned>(job.channels);
        cmd.scan_end_arg = static_cast<unsigned>(job.channels);
        cmd.start_src = TRIG_INT;
        cmd.start_arg = 0;
        cmd.stop_src = TRIG_COUNT;
        cmd.stop_arg = static_cast<unsigned>(std::min<std::int64_t>(frames, 0xFFFFFFFFLL));
        comedi_command_test(m_dev, &cmd);
        if (comedi_command_test(m_dev, &cmd) != 0 || comedi_command(m_dev, &cmd) < 0)
            return comediStatus();

        const int fd = comedi_fileno(m_dev);
        const std::int64_t points = static_cast<std::int64_t>(cmd.stop_arg) * job.channels;
        const std::size_t sampleBytes = m_long ? 4 : 2;
        std::vector<std::uint8_t> words(16384);
        std::vector<std::uint8_t> raw(words.size() / 2 * sampleBytes);
        std::int64_t sent = 0;
        std::size_t pending = 0, pendingAt = 0;
        bool started = false;
        while (sent < points || pending > 0) {
            if (stop.load()) {
                comedi_cancel(m_dev, m_subdevice);
                return 1;
            }
            if (pending == 0) {
                const auto want = static_cast<std::size_t>(std::min<std::int64_t>(
                    static_cast<std::int64_t>(words.size() / 2), points - sent));
                const std::int64_t got = job.file->read(words.data(), 2 * want, 2 * sent);
                if (got != static_cast<std::int64_t>(2 * want)) {
                    comedi_cancel(m_dev, m_subdevice);
                    return -10444;
                }
                for (std::size_t i = 0; i < want; ++i) {
                    const auto w = static_cast<std::int16_t>(words[2 * i] | (words[2 * i + 1] << 8));
                    const std::uint64_t v = std::min<std::uint64_t>(
                        static_cast<std::uint64_t>(w + 2048) * (static_cast<std::uint64_t>(m_maxData) + 1) / 4096, m_maxData);
                    if (m_long) {
                        const auto l = static_cast<lsampl_t>(v);
                        std::memcpy(raw.data() + 4 * i, &l, 4);
                    } else {
                        const auto s = static_cast<sampl_t>(v);
                        std::memcpy(raw.data() + 2 * i, &s, 2);
                    }
                }
                sent += static_cast<std::int64_t>(want);
                pending = want * sampleBytes;
                pendingAt = 0;
            }
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, 20) > 0) {
                const ssize_t n = ::write(fd, raw.data() + pendingAt, pending);
                if (n < 0 && errno != EAGAIN && errno != EINTR) {
                    comedi_cancel(m_dev, m_subdevice);
                    return comediStatus();
                }
                if (n > 0) {
                    pending -= static_cast<std::size_t>(n);
                    pendingAt += static_cast<std::size_t>(n);
                }
            } else if (!started) {
                // The buffer is full before the start: start the output.
                if (comedi_internal_trigger(m_dev, m_subdevice, 0) < 0)
                    return comediStatus();
                started = true;
            }
        }
        if (!started && comedi_internal_trigger(m_dev, m_subdevice, 0) < 0)
            return comediStatus();
        // Wait for the card to play out its buffer.
        while (comedi_get_subdevice_flags(m_dev, m_subdevice) & SDF_RUNNING) {
            if (stop.load()) {
                comedi_cancel(m_dev, m_subdevice);
                return 1;
            }
            ::usleep(5000);
        }
        return 0;
    }

private:
    comedi_t* m_dev;
    std::string m_device;
    unsigned m_subdevice;
    int m_channels = 0;
    lsampl_t m_maxData = 4095;
    bool m_long = false;
    std::int64_t m_maxRateHz = 0;
};

}  // namespace

bool daqHaveComedi()
{
    return true;
}

std::unique_ptr<IDaqCard> openComediCard(const std::string& device, std::string& error)
{
    comedi_t* dev = comedi_open(device.c_str());
    if (!dev) {
        error = device + ": " + comedi_strerror(comedi_errno());
        return nullptr;
    }
    int subd = comedi_get_write_subdevice(dev);
    if (subd < 0)
        subd = comedi_find_subdevice_by_type(dev, COMEDI_SUBD_AO, 0);
    if (subd < 0 || !(comedi_get_subdevice_flags(dev, static_cast<unsigned>(subd)) & SDF_CMD_WRITE)) {
        comedi_close(dev);
        error = device + ": no analog output with commands";
        return nullptr;
    }
    auto card = std::make_unique<ComediDaqCard>(dev, device, static_cast<unsigned>(subd));
    if (card->maxChannels() < 1 || card->maxRateHz() <= 0) {
        error = device + ": the analog output takes no timed command";
        return nullptr;
    }
    return card;
}

#else

bool daqHaveComedi()
{
    return false;
}

std::unique_ptr<IDaqCard> openComediCard(const std::string&, std::string& error)
{
    error = "built without Comedi";
    return nullptr;
}

#endif
