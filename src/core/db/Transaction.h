#pragma once
// A write transaction: begun at once with the write lock (BEGIN IMMEDIATE, so it never fails half
// way for a lock another connection holds), rolled back when it goes out of scope uncommitted.
// A transaction begun while another is open on the same connection joins it: the outer one
// decides, so a helper that wants atomicity can begin one whether or not its caller batches.
namespace drivlet {

class Connection;

class Transaction {
public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void Commit();

private:
    Connection& connection_;
    bool open_ = false; // this object began the transaction and has not ended it
};

} // namespace drivlet
