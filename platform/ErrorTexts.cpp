#include "platform/ErrorTexts.h"

#include <array>

namespace win {

namespace {

constexpr std::array<const char*, 200> RasTexts = {
    "An operation is still in progress.",                                                             // 600
    "The port handle is not valid.",                                                                  // 601
    "The port is already open.",                                                                      // 602
    "The buffer given is too small.",                                                                 // 603
    "Wrong information was given.",                                                                   // 604
    "The port information cannot be set.",                                                            // 605
    "The port is not connected.",                                                                     // 606
    "The event is not valid.",                                                                        // 607
    "The device does not exist.",                                                                     // 608
    "The device type does not exist.",                                                                // 609
    "The buffer is not valid.",                                                                       // 610
    "The route is not available.",                                                                    // 611
    "The route is not allocated.",                                                                    // 612
    "The compression asked for is not valid.",                                                        // 613
    "There are not enough buffers.",                                                                  // 614
    "The port was not found.",                                                                        // 615
    "An asynchronous request is still pending.",                                                      // 616
    "The connection is already being ended.",                                                         // 617
    "The port is not open.",                                                                          // 618
    "The port was disconnected.",                                                                     // 619
    "There are no end points.",                                                                       // 620
    "The phonebook cannot be opened.",                                                                // 621
    "The phonebook cannot be loaded.",                                                                // 622
    "The phonebook entry was not found.",                                                             // 623
    "The phonebook cannot be written.",                                                               // 624
    "The phonebook holds data that is not valid.",                                                    // 625
    "A text cannot be loaded.",                                                                       // 626
    "A key was not found.",                                                                           // 627
    "The connection was closed.",                                                                     // 628
    "The connection was closed by the remote computer.",                                              // 629
    "The modem was disconnected by a hardware failure.",                                              // 630
    "The user ended the connection.",                                                                 // 631
    "The structure size is wrong.",                                                                   // 632
    "The port is already in use or not set up for dialling out.",                                     // 633
    "The computer could not be registered on the remote network.",                                    // 634
    "An unknown error occurred.",                                                                     // 635
    "The device attached to the port is not the one expected.",                                       // 636
    "A text could not be converted.",                                                                 // 637
    "The request timed out.",                                                                         // 638
    "No network adapter is available for the connection.",                                            // 639
    "A network name service error occurred.",                                                         // 640
    "The server cannot allocate the resources to serve the client.",                                  // 641
    "A computer name is already registered on the remote network.",                                   // 642
    "A network adapter at the server failed.",                                                        // 643
    "Network messages will not be received.",                                                         // 644
    "An internal authentication error occurred.",                                                     // 645
    "The account may not log on at this time of day.",                                                // 646
    "The account is disabled.",                                                                       // 647
    "The password has expired.",                                                                      // 648
    "The account may not dial in.",                                                                   // 649
    "The remote access server is not responding.",                                                    // 650
    "The modem (or other device) reported an error.",                                                 // 651
    "The device gave a response that was not recognised.",                                            // 652
    "A command the device needs was not found in its script.",                                        // 653
    "A command or response in the device's script refers to something not defined.",                  // 654
    "A message was not found in the device's script.",                                                // 655
    "A setting was not found in the device's script.",                                                // 656
    "The device's script file cannot be opened.",                                                     // 657
    "The device name is too long.",                                                                   // 658
    "The device's script refers to an unknown device.",                                               // 659
    "The device's script has no responses for a command.",                                            // 660
    "The device's script is missing a command.",                                                      // 661
    "A setting that is not in the device's script was asked for.",                                    // 662
    "The device type is unknown.",                                                                    // 663
    "Memory cannot be allocated.",                                                                    // 664
    "The port is not set up for remote access.",                                                      // 665
    "The modem (or other device) is not working.",                                                    // 666
    "The device's script file cannot be read.",                                                       // 667
    "The connection was dropped.",                                                                    // 668
    "A setting in the device's script is used wrongly.",                                              // 669
    "A section name in the device's script cannot be read.",                                          // 670
    "A device type in the device's script cannot be read.",                                           // 671
    "A device name in the device's script cannot be read.",                                           // 672
    "A usage setting in the device's script cannot be read.",                                         // 673
    "The highest connect speed in the device's script cannot be read.",                               // 674
    "The highest carrier speed in the device's script cannot be read.",                               // 675
    "The phone line is busy.",                                                                        // 676
    "A person answered instead of a modem.",                                                          // 677
    "There was no answer.",                                                                           // 678
    "No carrier was detected.",                                                                       // 679
    "There is no dial tone.",                                                                         // 680
    "The device reported an error in a command.",                                                     // 681
    "A section name cannot be written to the device's script.",                                       // 682
    "A device type cannot be written to the device's script.",                                        // 683
    "A device name cannot be written to the device's script.",                                        // 684
    "The highest connect speed cannot be written to the device's script.",                            // 685
    "The highest carrier speed cannot be written to the device's script.",                            // 686
    "A usage setting cannot be written to the device's script.",                                      // 687
    "A default setting cannot be written to the device's script.",                                    // 688
    "A default setting in the device's script cannot be read.",                                       // 689
    "The device's script file is empty.",                                                             // 690
    "The user name or password was refused by the remote computer.",                                  // 691
    "The port or the device attached to it failed.",                                                  // 692
    "A binary command in the device's script is not valid.",                                          // 693
    "The port's settings were not found.",                                                            // 694
    "The connection's state machines have not started.",                                              // 695
    "The connection's state machines have already started.",                                          // 696
    "A partial response keeps repeating.",                                                            // 697
    "A response key in the device's script is not valid.",                                            // 698
    "The device's response filled the receive buffer.",                                               // 699
    "A command in the device's script is too long.",                                                  // 700
    "The device asked for a connect speed the port does not support.",                                // 701
    "The device gave a response that was not expected.",                                              // 702
    "The connection needs an answer from the user.",                                                  // 703
    "The callback number is not valid.",                                                              // 704
    "The authentication state is not valid.",                                                         // 705
    "The starting speed cannot be written to the device's script.",                                   // 706
    "The X.25 network reported a diagnostic.",                                                        // 707
    "The account has expired.",                                                                       // 708
    "The password on the domain could not be changed.",                                               // 709
    "Serial overrun errors were detected while talking to the modem.",                                // 710
    "The remote access service could not start.",                                                     // 711
    "The two-way port is still starting up.",                                                         // 712
    "No ISDN lines are active.",                                                                      // 713
    "No ISDN channels are free to make the call.",                                                    // 714
    "The phone line is too poor: too many errors.",                                                   // 715
    "The IP settings of the connection are not usable.",                                              // 716
    "No IP addresses are left in the server's pool.",                                                 // 717
    "The remote computer did not respond in time while the link was negotiated.",                     // 718
    "The remote computer ended the link.",                                                            // 719
    "No network protocol could be agreed with the remote computer.",                                  // 720
    "The remote computer is not responding.",                                                         // 721
    "The remote computer sent data that is not valid.",                                               // 722
    "The phone number, with its prefix and suffix, is too long.",                                     // 723
    "The IPX protocol cannot dial out on this port.",                                                 // 724
    "The IPX protocol cannot dial in on this port.",                                                  // 725
    "The IPX protocol is already dialling out on another port.",                                      // 726
    "The TCP/IP settings cannot be reached.",                                                         // 727
    "No IP adapter for remote access was found.",                                                     // 728
    "SLIP connections need the IP protocol.",                                                         // 729
    "The computer's registration on the remote network is not complete.",                             // 730
    "The protocol is not set up.",                                                                    // 731
    "The link's settings could not be agreed with the remote computer.",                              // 732
    "The remote computer refused a control protocol the connection needs.",                           // 733
    "The link control protocol ended.",                                                               // 734
    "The address asked for was refused by the server.",                                               // 735
    "The remote computer ended the network control protocol.",                                        // 736
    "The line loops back to this computer.",                                                          // 737
    "The server assigned no address.",                                                                // 738
    "The remote server cannot use the logon credentials of this computer.",                           // 739
    "The telephony settings are not valid.",                                                          // 740
    "This computer cannot encrypt as asked.",                                                         // 741
    "The remote computer cannot encrypt as asked.",                                                   // 742
    "The remote computer requires encryption.",                                                       // 743
    "The IPX network number is already in use.",                                                      // 744
    "The modem script is not valid.",                                                                 // 745
    "The modem script was not started.",                                                              // 746
    "The port has no network address.",                                                               // 747
    "The modem script timed out.",                                                                    // 748
    "The phone number is not valid.",                                                                 // 749
    "A module of the wrong kind was loaded.",                                                         // 750
    "The callback number holds characters that are not allowed.",                                     // 751
    "The dialling script has a syntax error.",                                                        // 752
    "The connection could not be ended because the remote server made it.",                           // 753
    "The link could not find the bandwidth it needs.",                                                // 754
    "The line is busy while another call is made on it.",                                             // 755
    "This connection is already being dialled.",                                                      // 756
    "The remote access services could not start by themselves.",                                      // 757
    "Connection sharing is already turned on for this connection.",                                   // 758
    "An error occurred while connection sharing was turned on.",                                      // 759
    "An error occurred while routing was turned on.",                                                 // 760
    "An error occurred while connection sharing was set up for this connection.",                     // 761
    "An error occurred while address sharing was set up.",                                            // 762
    "Connection sharing cannot be turned on: more than one private network card is set up.",          // 763
    "No smart card reader is installed.",                                                             // 764
    "Connection sharing cannot be turned on: a local network card already has the address it needs.", // 765
    "No certificate was found.",                                                                      // 766
    "Connection sharing cannot be turned on: the private network has more than one network card.",    // 767
    "The data could not be encrypted.",                                                               // 768
    "The destination cannot be reached.",                                                             // 769
    "The remote computer refused the connection.",                                                    // 770
    "The remote network is too busy.",                                                                // 771
    "The remote computer's network hardware does not suit the call.",                                 // 772
    "The destination number has changed.",                                                            // 773
    "A temporary failure occurred; try again.",                                                       // 774
    "The remote computer blocked the call.",                                                          // 775
    "The call could not be made: the destination has turned on Do Not Disturb.",                      // 776
    "The remote computer's modem is out of order.",                                                   // 777
    "The server's identity could not be verified.",                                                   // 778
    "A smart card is needed to dial out with this connection.",                                       // 779
    "The function asked for is not valid for this connection.",                                       // 780
    "A certificate is needed for the encryption, and none was found.",                                // 781
    "Connection sharing and network address translation are already on.",                             // 782
    "Connection sharing cannot be turned on: the network card chosen is not on the private network.", // 783
    "The user name in the certificate does not match the one asked for.",                             // 784
    "Logging on needs a certificate that can be used for encryption.",                                // 785
    "No valid machine certificate was found for the security negotiation.",                           // 786
    "The security layer could not be negotiated with the remote computer.",                           // 787
    "The security layer's parameters could not be agreed with the remote computer.",                  // 788
    "The security layer met a processing error while it was negotiated.",                             // 789
    "The certificate could not be validated at the server.",                                          // 790
    "The security negotiation failed: no policy was found for the connection.",                       // 791
    "The security negotiation timed out.",                                                            // 792
    "An error occurred while the security was negotiated.",                                           // 793
    "The framing protocol set for this user is not the one the server uses.",                         // 794
    "The tunnel type set for this user is not the one the server uses.",                              // 795
    "The connection type set for this user is not the one the server uses.",                          // 796
    "The modem was not found or is busy.",                                                            // 797
    "No certificate usable for the authentication protocol was found.",                               // 798
    "Connection sharing cannot be turned on: the address range is in use elsewhere.",                 // 799
};

// Our own codes, for mobile broadband and the network service (see Ras.h).
constexpr std::array<const char*, 8> OwnTexts = {
    "There is no SIM card in the modem.",                                            // 900
    "The modem's SIM card is locked: it needs its PIN (or PUK) before it can dial.", // 901
    "The SIM card was refused: it is not valid, or the PIN given for it was wrong.", // 902
    "The mobile network refused to register the modem.",                             // 903
    "The modem could not register with the mobile network.",                         // 904
    "The access point name (APN) was refused.",                                      // 905
    "NetworkManager stopped before the connection was made.",                        // 906
    "NetworkManager refused the request.",                                           // 907
};

struct SystemText
{
    DWORD Code;
    const char* Text;
};

constexpr SystemText SystemTexts[] = {
    {0, "The operation completed successfully."},
    {2, "The system cannot find the file specified."},
    {5, "Access is denied."},
    {6, "The handle is not valid."},
    {8, "Not enough memory is available for this command."},
    {29, "The system cannot write to the device."},
    {50, "The request is not supported."},
    {87, "The parameter is incorrect."},
    {112, "There is not enough space on the disk."},
    {122, "The data area passed to a system call is too small."},
    {126, "The module could not be found."},
    {127, "The procedure could not be found."},
    {223, "The file is too large."},
    {234, "More data is available."},
    {259, "No more data is available."},
    {1060, "The service does not exist."},
    {1114, "A library failed to start."},
    {1157, "A library the program needs could not be found."},
};

} // namespace

const char* RasErrorText(DWORD code)
{
    if (code >= 600 && code < 800)
        return RasTexts[code - 600];
    return code >= 900 && code < 900 + OwnTexts.size() ? OwnTexts[code - 900] : nullptr;
}

const char* SystemErrorText(DWORD code)
{
    for (const SystemText& text : SystemTexts)
        if (text.Code == code)
            return text.Text;
    return nullptr;
}

} // namespace win
